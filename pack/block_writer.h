// Blocks of the static-Huffman LZH methods (-lh4- to -lh7-): a 16-bit symbol count, the code
// for the symbol code lengths, the symbol code lengths, the position code, then the symbols.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pack/bit_writer.h"

namespace lzhpack {

inline constexpr int kSymbolAlphabet = 510;      // 0-255 literals, 256-509 match lengths 3-256
inline constexpr int kLengthCodeAlphabet = 19;   // codes of the symbol code lengths
inline constexpr int kMaxPositionAlphabet = 17;  // -lh7-: positions up to 65535
inline constexpr int kMinMatch = 3;
inline constexpr int kMaxMatch = 256;
inline constexpr uint32_t kMaxBlockSymbols = 65535;  // the count field is 16 bits; 0 would mean 65536
static_assert(kSymbolAlphabet == 256 + kMaxMatch - kMinMatch + 1);

struct MethodShape {
  char id[6];
  int dictionaryBits;     // window of 2^dictionaryBits bytes; the largest distance
  int positionSymbols;    // symbol j >= 1 covers positions 2^(j-1) .. 2^j - 1
  int positionCountBits;  // width of the position code's count field
};

// A token is a literal (symbol < 256) or a match: symbol = length + 253, and the low 16 bits
// hold the position, the distance minus 1.
inline uint32_t literalToken(uint8_t byte) { return uint32_t(byte) << 16; }
inline uint32_t matchToken(uint32_t length, uint32_t distance) {
  return ((length + 256 - kMinMatch) << 16) | (distance - 1);
}
inline uint32_t tokenSymbol(uint32_t token) { return token >> 16; }
inline uint32_t tokenPosition(uint32_t token) { return token & 0xFFFF; }

// Position symbol of a position: 0 for 0, otherwise its bit length.
inline int positionSymbol(uint32_t position) {
  return position == 0 ? 0 : 32 - __builtin_clz(position);
}

struct BlockHistogram {
  uint32_t symbols[kSymbolAlphabet] = {};
  uint32_t positions[kMaxPositionAlphabet] = {};
  uint32_t count = 0;

  void add(uint32_t token) {
    uint32_t symbol = tokenSymbol(token);
    symbols[symbol]++;
    if (symbol >= 256) positions[positionSymbol(tokenPosition(token))]++;
    count++;
  }
  void add(const BlockHistogram& other);
};

// Bits of a block coded with the best codes for its histogram: header plus Huffman-coded
// symbols and position symbols. The raw low bits of positions are left out: they do not
// depend on how the tokens are split into blocks.
uint64_t blockCostBits(const BlockHistogram& histogram, const MethodShape& shape);

// The codes one block was written with, as a decoder must rebuild them. A constant is the
// symbol of a code sent in its single-symbol form (its lengths are then all 0), else -1.
struct BlockRecord {
  uint32_t symbolCount = 0;
  std::array<uint8_t, kLengthCodeAlphabet> lengthCodeLengths{};
  std::array<uint8_t, kSymbolAlphabet> symbolLengths{};
  std::array<uint8_t, kMaxPositionAlphabet> positionLengths{};
  int lengthCodeConstant = -1;
  int symbolConstant = -1;
  int positionConstant = -1;
};

// Writes one block of 1 to kMaxBlockSymbols tokens; records its codes when trace is given.
void writeBlock(BitWriter& out, const uint32_t* tokens, size_t count, const MethodShape& shape,
                std::vector<BlockRecord>* trace = nullptr);

}  // namespace lzhpack
