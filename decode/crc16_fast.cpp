#include "decode/crc16_fast.h"

#include <array>
#include <cstring>

// The stub (ZOLT_STUB) trades CRC speed for size: no carry-less multiplication (with libgcc's
// CPU detection some 7 KB) and one table instead of eight (3.5 KB); its runs are bounded by
// writing the files anyway.
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__)) && !defined(ZOLT_STUB)
#define ZOLT_CRC_CLMUL 1
#include <immintrin.h>
#endif

namespace {

#ifdef ZOLT_STUB
inline constexpr int kSlices = 1;
#else
inline constexpr int kSlices = 8;
#endif
using SliceTables = std::array<std::array<uint16_t, 256>, kSlices>;

// tables[0] is the classic byte table; tables[k][b] is the CRC of byte b followed by k zero
// bytes, so eight independent lookups advance the register over eight bytes at once. This
// is the path for CPUs without carry-less multiplication and for short blocks.
constexpr SliceTables makeTables() {
  SliceTables t{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned x = i;
    for (int round = 0; round < 8; ++round) x = (x & 1) ? (x >> 1) ^ 0xA001 : x >> 1;
    t[0][i] = static_cast<uint16_t>(x);
  }
  for (unsigned k = 1; k < kSlices; ++k)
    for (unsigned i = 0; i < 256; ++i)
      t[k][i] = static_cast<uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
  return t;
}

constexpr SliceTables kTables = makeTables();

uint16_t crc16Sliced(uint16_t crc, const uint8_t* bytes, size_t count) {
  uint32_t c = crc;
#ifndef ZOLT_STUB
  while (count >= 8) {
    uint64_t word;
    std::memcpy(&word, bytes, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    word ^= c;
    c = kTables[7][word & 0xFF] ^ kTables[6][(word >> 8) & 0xFF] ^ kTables[5][(word >> 16) & 0xFF] ^
        kTables[4][(word >> 24) & 0xFF] ^ kTables[3][(word >> 32) & 0xFF] ^ kTables[2][(word >> 40) & 0xFF] ^
        kTables[1][(word >> 48) & 0xFF] ^ kTables[0][word >> 56];
    bytes += 8;
    count -= 8;
  }
#endif
  while (count-- > 0) c = (c >> 8) ^ kTables[0][(c ^ *bytes++) & 0xFF];
  return static_cast<uint16_t>(c);
}

#ifdef ZOLT_CRC_CLMUL
// Carry-less multiplication folds 16 bytes per step instead of looking up each byte.
//
// CRC-16/ARC is the remainder of the message polynomial times x^16 modulo
// P = x^16 + x^15 + x^2 + 1, with the first byte's lowest bit as the highest power. Loaded
// little-endian, a 16-byte chunk's bit i is the coefficient of x^(127 - i): its low 64 bits
// are the upper part H (times x^64), its high 64 bits the lower part L. Folding the chunk
// onto the next one replaces H * x^192 + L * x^128 by H * (x^192 mod P) + L * (x^128 mod P),
// which leaves the remainder unchanged and fits in 128 bits again. What is left at the end is
// 16 bytes with the same CRC as everything folded into them (with the register starting at
// 0, leading zeros change nothing), finished with the table.

// x^k mod P as a 16-bit polynomial (bit d is the coefficient of x^d).
constexpr uint32_t powerModP(unsigned k) {
  uint32_t r = 1;
  for (unsigned i = 0; i < k; ++i) {
    r <<= 1;
    if (r & 0x10000) r ^= 0x18005;
  }
  return r;
}

// A polynomial of degree below 64 in the bit order of a chunk half (bit i is x^(63 - i)).
// The product of two such halves comes out one position short of the 128-bit chunk order
// (bit i of the product is x^(126 - i)), so each constant carries one power of x less.
constexpr uint64_t reflected64(uint32_t poly) {
  uint64_t r = 0;
  for (unsigned d = 0; d < 16; ++d)
    if (poly & (1u << d)) r |= uint64_t{1} << (63 - d);
  return r;
}

constexpr uint64_t kFoldHigh = reflected64(powerModP(192 - 1));
constexpr uint64_t kFoldLow = reflected64(powerModP(128 - 1));

__attribute__((target("pclmul,sse2"))) uint16_t crc16Clmul(uint16_t crc, const uint8_t* bytes, size_t count) {
  const __m128i constants = _mm_set_epi64x(static_cast<long long>(kFoldLow), static_cast<long long>(kFoldHigh));
  __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  x = _mm_xor_si128(x, _mm_cvtsi32_si128(crc));  // the register enters at the first bytes
  bytes += 16;
  count -= 16;
  while (count >= 16) {
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    const __m128i high = _mm_clmulepi64_si128(x, constants, 0x00);  // H * x^191 mod P
    const __m128i low = _mm_clmulepi64_si128(x, constants, 0x11);   // L * x^127 mod P
    x = _mm_xor_si128(_mm_xor_si128(high, low), y);
    bytes += 16;
    count -= 16;
  }
  uint8_t folded[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(folded), x);
  return crc16Sliced(crc16Sliced(0, folded, 16), bytes, count);
}

bool haveClmul() {
  // __builtin_cpu_init normally runs as a constructor; a program with its own entry point
  // (the stub) may never run it, so it is called here before the first question.
  static const bool have = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") != 0;
  }();
  return have;
}
#endif

}  // namespace

uint16_t crc16Blocks(uint16_t crc, const uint8_t* bytes, size_t count) {
#ifdef ZOLT_CRC_CLMUL
  if (count >= 64 && haveClmul()) return crc16Clmul(crc, bytes, count);
#endif
  return crc16Sliced(crc, bytes, count);
}
