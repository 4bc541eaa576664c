// Static-Huffman methods: the block codec of -lh4- to -lh7-, and the pieces the older methods
// share with it (fixed position code lengths, positions with six raw low bits).
//
// A -lh4-..-lh7- block starts with a 16-bit symbol count (0 means 65536), then three code sets:
// the code-length code (19 symbols), the symbol code (510 symbols: 256 literals and the length
// codes 256-509 for matches of 3 to 256 bytes) sent through the code-length code, and the
// position code (14, 16 or 17 symbols). Position symbol j >= 1 stands for 2^(j-1) plus j-1
// raw bits; the position is the match distance minus 1.
#pragma once

#include <cstdint>

#include "decode/bit_input.h"
#include "decode/decode_status.h"
#include "decode/huffman_table.h"

inline constexpr unsigned kSymbolTableBits = 12;
inline constexpr unsigned kSmallTableBits = 8;
inline constexpr unsigned kLh5Symbols = 510;
inline constexpr unsigned kCodeLengthSymbols = 19;
inline constexpr unsigned kMaxPositionSymbols = 17;
static_assert(huffman::linksFit(kSymbolTableBits, kLh5Symbols));
static_assert(huffman::linksFit(kSmallTableBits, kCodeLengthSymbols));

class StaticHuffmanCodec {
 public:
  static constexpr uint32_t kLengthBias = 253;
  static constexpr uint32_t kMaxMatch = 256;

  explicit StaticHuffmanCodec(unsigned dictionaryBits);

  // A literal (0-255) or a length code (256-509); kDamagedValue when the data is damaged.
  uint32_t nextSymbol(BitInput& in) {
    if (blockLeft_ == 0) [[unlikely]] {
      if (!readBlockHeader(in)) return kDamagedValue;
    }
    --blockLeft_;
    in.ensureBits();
    return huffman::decodeSymbol<kSymbolTableBits>(symbolTable_, in);
  }

  // The distance minus 1 of the match whose length code nextSymbol just returned. Relies on
  // the bits nextSymbol made available: a symbol and a position take 47 bits at most.
  uint32_t nextPosition(BitInput& in, uint32_t /*decodedCount*/) {
    const uint32_t j = huffman::decodeSymbol<kSmallTableBits>(positionTable_, in);
    if (j <= 1 || j == kDamagedValue) return j;
    return (1u << (j - 1)) + in.take(j - 1);
  }

  // The hot loop: decodes items while the current block lasts, out is below outStop and at
  // least 8 input bytes are left, with the bit state in registers. Returns the new output
  // position; sets damaged (and stops) at a code that cannot be decoded.
  uint8_t* decodeFast(BitInput& in, uint8_t* out, uint8_t* outStop, uint32_t distanceMask, bool& damaged);

 private:
  bool readBlockHeader(BitInput& in);
  bool readSymbolLengths(BitInput& in);

  unsigned positionSymbols_;
  unsigned positionCountBits_;
  uint32_t blockLeft_ = 0;  // symbols left in the current block
  uint8_t symbolLengths_[kLh5Symbols];
  uint32_t symbolTable_[huffman::tableSize(kSymbolTableBits, kLh5Symbols)];
  uint32_t codeLengthTable_[huffman::tableSize(kSmallTableBits, kCodeLengthSymbols)];
  uint32_t positionTable_[huffman::tableSize(kSmallTableBits, kMaxPositionSymbols)];
};

// Reads a small code set (the code-length code or the position code): a count field of
// countBits bits, then one length per symbol: 3 bits for 0 to 6, and 111 followed by a unary
// continuation (1110 = 7, 11110 = 8, ...) above. After entry zeroRunAfter (if not 0) a 2-bit
// field gives a number of further zero lengths. A count of 0 is followed by one symbol that
// the whole block uses. Builds the table; false when the set cannot be valid.
bool readSmallLengths(BitInput& in, unsigned symbolCount, unsigned countBits, unsigned zeroRunAfter,
                      uint32_t* table);

// The fixed position code lengths of -lh1- (row 0, 64 symbols) and -lh3- (row 1, 128 symbols).
// Each row is the starting length followed by the symbols at which the length grows by one.
enum class FixedPositionRow { lh1, lh3 };
void buildFixedPositionLengths(FixedPositionRow row, unsigned symbolCount, uint8_t* lengths);

// Positions of -lh1- and -lh3-: a Huffman-coded upper part (64 or 128 symbols) times 64 plus
// six raw bits.
class Low6PositionDecoder {
 public:
  static constexpr unsigned kTableBits = 10;
  static constexpr unsigned kMaxSymbols = 128;

  // Installs a code set; false when it cannot be valid.
  bool setLengths(const uint8_t* lengths, unsigned symbolCount) {
    return huffman::buildTable(table_, kTableBits, lengths, symbolCount);
  }
  void setSingle(uint32_t symbol, unsigned symbolCount) {
    huffman::fillSingleSymbol(table_, kTableBits, symbol, symbolCount);
  }
  // Needs 16 + 6 bits available.
  uint32_t next(BitInput& in) {
    const uint32_t j = huffman::decodeSymbol<kTableBits>(table_, in);
    if (j == kDamagedValue) return j;
    return j * 64 + in.take(6);
  }

 private:
  uint32_t table_[huffman::tableSize(kTableBits, kMaxSymbols)];
};
static_assert(huffman::linksFit(Low6PositionDecoder::kTableBits, Low6PositionDecoder::kMaxSymbols));
