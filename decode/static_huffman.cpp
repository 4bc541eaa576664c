#include "decode/static_huffman.h"

#include <algorithm>

#include "decode/match_copy.h"
#include "decode/method_list.h"

StaticHuffmanCodec::StaticHuffmanCodec(unsigned dictionaryBits)
    : positionSymbols_(staticPositionSymbols(dictionaryBits)),
      positionCountBits_(staticPositionCountBits(dictionaryBits)) {}

uint8_t* StaticHuffmanCodec::decodeFast(BitInput& in, uint8_t* out, uint8_t* outStop, uint32_t distanceMask,
                                        bool& damaged) {
  BitInput::State bits = in.save();
  // Two refills per turn at most, each advancing by 7 bytes or less.
  if (bits.end - bits.next < 16) return out;
  const uint8_t* const inputLimit = bits.end - 16;
  const uint32_t* const symbols = symbolTable_;
  const uint32_t* const positions = positionTable_;
  uint32_t left = blockLeft_;
  while (left != 0 && out < outStop && bits.next <= inputLimit) {
    // One refill covers a symbol (16 bits), a position code (16) and its extra bits (15).
    bits.refill();
    uint32_t symbol = huffman::decodeSymbol<kSymbolTableBits>(symbols, bits);
    if (symbol < 256) {
      --left;
      *out++ = static_cast<uint8_t>(symbol);
      // At least 40 bits remain: enough for the next symbol, but not for a match after it.
      if (left == 0 || out >= outStop) continue;
      symbol = huffman::decodeSymbol<kSymbolTableBits>(symbols, bits);
      if (symbol < 256) {
        --left;
        *out++ = static_cast<uint8_t>(symbol);
        continue;
      }
      bits.refill();
    }
    const uint32_t j = huffman::decodeSymbol<kSmallTableBits>(positions, bits);
    if (symbol == kDamagedValue || j == kDamagedValue) [[unlikely]] {
      damaged = true;
      break;
    }
    --left;
    const uint32_t position = j <= 1 ? j : (1u << (j - 1)) + bits.take(j - 1);
    const uint32_t length = symbol - kLengthBias;
    copyMatch(out, (position & distanceMask) + 1, length);
    out += length;
  }
  blockLeft_ = left;
  in.restore(bits);
  return out;
}

bool StaticHuffmanCodec::readBlockHeader(BitInput& in) {
  blockLeft_ = in.takeChecked(16);
  if (blockLeft_ == 0) blockLeft_ = 0x10000;  // the 16-bit count wraps: 0 means 65536
  return readSmallLengths(in, kCodeLengthSymbols, 5, 3, codeLengthTable_) && readSymbolLengths(in) &&
         readSmallLengths(in, positionSymbols_, positionCountBits_, 0, positionTable_);
}

// Symbol lengths are coded with the code-length code: symbols 0-2 are runs of zero lengths
// (1; 3 to 18 with four more bits; 20 to 531 with nine more bits), symbol c >= 3 is the
// length c - 2.
bool StaticHuffmanCodec::readSymbolLengths(BitInput& in) {
  const unsigned count = in.takeChecked(9);
  if (count == 0) {
    huffman::fillSingleSymbol(symbolTable_, kSymbolTableBits, in.takeChecked(9), kLh5Symbols);
    return true;
  }
  if (count > kLh5Symbols) return false;
  unsigned i = 0;
  while (i < count) {
    in.ensureBits();
    const uint32_t c = huffman::decodeSymbol<kSmallTableBits>(codeLengthTable_, in);
    if (c == kDamagedValue) return false;
    if (c <= 2) {
      const unsigned run = c == 0 ? 1 : c == 1 ? in.take(4) + 3 : in.take(9) + 20;
      if (run > kLh5Symbols - i) return false;
      std::fill(symbolLengths_ + i, symbolLengths_ + i + run, 0);
      i += run;
    } else {
      symbolLengths_[i++] = static_cast<uint8_t>(c - 2);
    }
  }
  std::fill(symbolLengths_ + i, symbolLengths_ + kLh5Symbols, 0);
  return huffman::buildTable(symbolTable_, kSymbolTableBits, symbolLengths_, kLh5Symbols);
}

bool readSmallLengths(BitInput& in, unsigned symbolCount, unsigned countBits, unsigned zeroRunAfter,
                      uint32_t* table) {
  const unsigned count = in.takeChecked(countBits);
  if (count == 0) {
    huffman::fillSingleSymbol(table, kSmallTableBits, in.takeChecked(countBits), symbolCount);
    return true;
  }
  if (count > symbolCount) return false;
  uint8_t lengths[kMaxPositionSymbols > kCodeLengthSymbols ? kMaxPositionSymbols : kCodeLengthSymbols];
  unsigned i = 0;
  while (i < count) {
    in.ensureBits();
    unsigned c = in.peek(3);
    if (c == 7) {
      // Unary continuation: every further 1 bit adds one. More than nine of them would give
      // a length above 16, which no code of these small alphabets can have.
      uint32_t following = in.peek(16) & 0x1FFF;
      for (uint32_t mask = 0x1000; (following & mask) != 0; mask >>= 1) {
        if (++c > huffman::kMaxCodeLength) return false;
      }
    }
    in.skip(c < 7 ? 3 : c - 3);
    lengths[i++] = static_cast<uint8_t>(c);
    if (i == zeroRunAfter) {
      const unsigned run = in.take(2);
      if (run > symbolCount - i) return false;
      std::fill(lengths + i, lengths + i + run, 0);
      i += run;
    }
  }
  std::fill(lengths + i, lengths + symbolCount, 0);
  return huffman::buildTable(table, kSmallTableBits, lengths, symbolCount);
}

void buildFixedPositionLengths(FixedPositionRow row, unsigned symbolCount, uint8_t* lengths) {
  static constexpr uint8_t kRowLh1[] = {3, 1, 4, 12, 24, 48, 0};
  static constexpr uint8_t kRowLh3[] = {2, 1, 1, 3, 6, 13, 31, 78, 0};
  const uint8_t* r = row == FixedPositionRow::lh1 ? kRowLh1 : kRowLh3;
  unsigned length = r[0];
  unsigned k = 1;
  for (unsigned i = 0; i < symbolCount; ++i) {
    while (r[k] != 0 && r[k] == i) {
      ++length;
      ++k;
    }
    lengths[i] = static_cast<uint8_t>(length);
  }
}
