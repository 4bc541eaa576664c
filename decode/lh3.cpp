#include "decode/lh3.h"

bool Lh3Codec::readBlockHeader(BitInput& in) {
  blockLeft_ = in.takeChecked(16);
  if (blockLeft_ == 0) blockLeft_ = 0x10000;
  if (!readSymbolLengths(in)) return false;
  if (in.takeChecked(1) != 0) return readPositionLengths(in);
  uint8_t lengths[kPositionSymbols];
  buildFixedPositionLengths(FixedPositionRow::lh3, kPositionSymbols, lengths);
  return positions_.setLengths(lengths, kPositionSymbols);
}

// Three leading lengths of 1 cannot belong to a prefix code; encoders use them to announce a
// block with one symbol only, whose 9-bit value follows at once.
bool Lh3Codec::readSymbolLengths(BitInput& in) {
  uint8_t lengths[kSymbols];
  for (unsigned i = 0; i < kSymbols; ++i) {
    lengths[i] = in.takeChecked(1) != 0 ? static_cast<uint8_t>(in.takeChecked(4) + 1) : 0;
    if (i == 2 && lengths[0] == 1 && lengths[1] == 1 && lengths[2] == 1) {
      huffman::fillSingleSymbol(symbolTable_, kSymbolTableBits, in.takeChecked(9), kSymbols);
      return true;
    }
  }
  return huffman::buildTable(symbolTable_, kSymbolTableBits, lengths, kSymbols);
}

// The same escape for positions. The single position symbol is as wide as the position
// alphabet needs: 7 bits (the dictionary bits minus the six raw low bits). Encoders write 7
// bits here; reading 10 would misplace every following bit of such a block.
bool Lh3Codec::readPositionLengths(BitInput& in) {
  uint8_t lengths[kPositionSymbols];
  for (unsigned i = 0; i < kPositionSymbols; ++i) {
    lengths[i] = static_cast<uint8_t>(in.takeChecked(4));
    if (i == 2 && lengths[0] == 1 && lengths[1] == 1 && lengths[2] == 1) {
      positions_.setSingle(in.takeChecked(kDictionaryBits - 6), kPositionSymbols);
      return true;
    }
  }
  return positions_.setLengths(lengths, kPositionSymbols);
}
