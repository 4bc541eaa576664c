#include "decode/crc16.h"

#include <array>
#include <cstring>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define ZOLT_CRC_CLMUL 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace {

// tables[0] is the classic byte table; tables[k][b] is the CRC of byte b followed by k zero
// bytes, so eight independent lookups advance the register over eight bytes at once. This
// is the path for CPUs without carry-less multiplication and for short blocks.
//
// Filled at run time rather than written as a constant: the stub carries no 4 KB image.
std::array<std::array<uint16_t, 256>, 8> g_tables;
bool g_haveClmul = false;

uint16_t crc16Sliced(uint16_t crc, const uint8_t* bytes, size_t count) {
  const auto& t = g_tables;
  uint32_t c = crc;
  while (count >= 8) {
    uint64_t word;
    std::memcpy(&word, bytes, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    word ^= c;
    c = t[7][word & 0xFF] ^ t[6][(word >> 8) & 0xFF] ^ t[5][(word >> 16) & 0xFF] ^ t[4][(word >> 24) & 0xFF] ^
        t[3][(word >> 32) & 0xFF] ^ t[2][(word >> 40) & 0xFF] ^ t[1][(word >> 48) & 0xFF] ^ t[0][word >> 56];
    bytes += 8;
    count -= 8;
  }
  while (count-- > 0) c = (c >> 8) ^ t[0][(c ^ *bytes++) & 0xFF];
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
// 0, leading zeros change nothing), finished with the tables.

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

// Asked of the CPU itself (CPUID leaf 1, ECX bit 1) rather than through the compiler's
// CPU-feature support, whose initialisation the stub's own entry point would not run and
// which would add some 7 KB to it.
bool cpuHasClmul() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  return __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (ecx & bit_PCLMUL) != 0;
}
#endif

// Fills the lookup tables and looks for carry-less multiplication.
bool buildCrcTables() {
  auto& t = g_tables;
  for (unsigned i = 0; i < 256; ++i) {
    unsigned x = i;
    for (int round = 0; round < 8; ++round) x = (x & 1) != 0 ? (x >> 1) ^ 0xA001u : x >> 1;
    t[0][i] = static_cast<uint16_t>(x);
  }
  for (unsigned k = 1; k < 8; ++k)
    for (unsigned i = 0; i < 256; ++i) t[k][i] = static_cast<uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
#ifdef ZOLT_CRC_CLMUL
  g_haveClmul = cpuHasClmul();
#endif
  return true;
}

// Built before main, so that no caller can see the tables empty.
const bool g_crcReady = buildCrcTables();

}  // namespace

uint16_t crc16Update(uint16_t crc, const uint8_t* bytes, size_t count) {
#ifdef ZOLT_CRC_CLMUL
  if (count >= 64 && g_haveClmul) return crc16Clmul(crc, bytes, count);
#endif
  return crc16Sliced(crc, bytes, count);
}
