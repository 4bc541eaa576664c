// -lh3-: an 8192-byte window with static Huffman codes per block in the older block format.
//
// A block is a 16-bit symbol count (0 means 65536), the 286 symbol code lengths as plain
// fields (a 0 bit for an unused symbol, else a 1 bit and four bits of length minus 1), and a
// flag bit: 1 sends the 128 position code lengths as 4-bit fields, 0 selects the fixed -lh3-
// position lengths. Symbols 0-255 are literals, 256-284 length codes for matches of 3 to 31
// bytes, and 285 takes eight more raw bits (matches of 32 to 287). A position is its symbol
// times 64 plus six raw bits.
#pragma once

#include <cstdint>

#include "decode/bit_input.h"
#include "decode/decode_status.h"
#include "decode/huffman_table.h"
#include "decode/static_huffman.h"

class Lh3Codec {
 public:
  static constexpr uint32_t kLengthBias = 253;
  static constexpr uint32_t kMaxMatch = 287;
  static constexpr unsigned kSymbols = 286;
  static constexpr unsigned kExtendedSymbol = 285;
  static constexpr unsigned kPositionSymbols = 128;
  static constexpr unsigned kDictionaryBits = 13;

  uint32_t nextSymbol(BitInput& in) {
    if (blockLeft_ == 0) [[unlikely]] {
      if (!readBlockHeader(in)) return kDamagedValue;
    }
    --blockLeft_;
    in.ensureBits();
    uint32_t j = huffman::decodeSymbol<kSymbolTableBits>(symbolTable_, in);
    if (j == kExtendedSymbol) j += in.take(8);
    return j;
  }
  // Symbol (16) + extension (8) + position (15 + 6) bits fit in one refill.
  uint32_t nextPosition(BitInput& in, uint32_t /*decodedCount*/) { return positions_.next(in); }

 private:
  bool readBlockHeader(BitInput& in);
  bool readSymbolLengths(BitInput& in);
  bool readPositionLengths(BitInput& in);

  uint32_t blockLeft_ = 0;
  uint32_t symbolTable_[huffman::tableSize(kSymbolTableBits, kSymbols)];
  Low6PositionDecoder positions_;
};
