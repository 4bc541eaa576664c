// The engine of the reflected CRCs the system uses: CRC-16/ARC for members and headers,
// CRC-32 for the self-extracting file's trailer. One implementation for both, the register
// held in 32 bits: eight bytes per step through tables, or 16 bytes per step by carry-less
// multiplication where the CPU has it.
//
// The tables are filled at run time rather than written as constants, and each user keeps
// them in zero-initialised data of its own (no bytes in the stub's file).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace crc {

// One CRC: tables[0] is the classic byte table; tables[k][b] is the CRC of byte b followed
// by k zero bytes, so eight independent lookups advance the register over eight bytes at
// once. This is the path for CPUs without carry-less multiplication and for short blocks.
struct Tables {
  std::array<std::array<uint32_t, 256>, 8> t;
  uint64_t foldHigh;  // the constants of the carry-less path (foldConstant)
  uint64_t foldLow;
  bool haveClmul;
};

// The carry-less path folds 16 bytes at a time (see reflected_crc.cpp): H * x^192 + L * x^128
// becomes H * (x^192 mod P) + L * (x^128 mod P). The constant for x^k, of a CRC of `width`
// bits whose polynomial with its x^width term is normalPoly, in the bit order of a chunk
// half (bit i is x^(63 - i)); the product of two halves comes out one position short of the
// 128-bit chunk order, so the constant carries one power of x less.
constexpr uint64_t foldConstant(unsigned k, unsigned width, uint64_t normalPoly) {
  uint64_t r = 1;  // x^(k - 1) mod P, bit d the coefficient of x^d
  for (unsigned i = 0; i + 1 < k; ++i) {
    r <<= 1;
    if (r & (uint64_t{1} << width)) r ^= normalPoly;
  }
  uint64_t reflected = 0;
  for (unsigned d = 0; d < width; ++d)
    if (r & (uint64_t{1} << d)) reflected |= uint64_t{1} << (63 - d);
  return reflected;
}

// Fills the tables of the CRC whose polynomial is reflectedPoly (without its x^width term,
// bit 0 the highest power), with the fold constants foldConstant(192, ...) and
// foldConstant(128, ...). Returns true.
bool build(Tables& tables, uint32_t reflectedPoly, uint64_t foldHigh, uint64_t foldLow);

// The register over count bytes; no initial or final inversion (the caller applies them).
uint32_t update(const Tables& tables, uint32_t crc, const uint8_t* bytes, size_t count);

}  // namespace crc
