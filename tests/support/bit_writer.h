// Test-only: writes bit streams the way LZH encoders do (most significant bit first), with
// helpers for the code sets of the static-Huffman block format, so that tests can build a
// packed member that reaches exactly one branch of a decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class BitWriter {
 public:
  // The low `count` bits of value, most significant first (count <= 32).
  BitWriter& bits(uint32_t value, unsigned count);
  BitWriter& bit(bool one) { return bits(one ? 1 : 0, 1); }
  // The bytes written so far, the last one padded with 0 bits.
  std::vector<uint8_t> bytes() const;
  size_t bitCount() const { return bitCount_; }

 private:
  std::vector<uint8_t> bytes_;
  size_t bitCount_ = 0;
};

// Canonical codes for a set of code lengths (0 = unused): shorter codes first, then by
// symbol. codes[s] holds the code of symbol s in its low lengths[s] bits.
std::vector<uint32_t> canonicalCodes(const std::vector<uint8_t>& lengths);

// Writers for one -lh4-..-lh7- block header. Each code set is given as full lengths.
struct StaticBlockWriter {
  // positionCountBits: 4 for -lh4-/-lh5-, 5 for -lh6-/-lh7-.
  StaticBlockWriter(BitWriter& writer, unsigned countBits) : out(writer), positionCountBits(countBits) {}

  BitWriter& out;
  unsigned positionCountBits;

  // The block size field, the code-length code (all 19 symbols 5 bits long, so code-length
  // symbol c is written as the 5-bit value c), the 510 symbol lengths through it, and the
  // position lengths. Returns the symbol and position codes for the block's items.
  void header(uint16_t blockSize, const std::vector<uint8_t>& symbolLengths,
              const std::vector<uint8_t>& positionLengths);
  // A small code-set length in the 3-bit / unary format.
  void smallLength(unsigned length);
  // An item with the codes of the last header.
  void literal(uint8_t byte);
  void match(unsigned length, unsigned position);

  std::vector<uint32_t> symbolCodes;
  std::vector<uint8_t> symbolLengths;
  std::vector<uint32_t> positionCodes;
  std::vector<uint8_t> positionLengths;
};
