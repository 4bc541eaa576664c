#include "decode/reflected_crc.h"

#include <cstring>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define ZOLT_CRC_CLMUL 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace crc {
namespace {

uint32_t sliced(const Tables& tables, uint32_t c, const uint8_t* bytes, size_t count) {
  const auto& t = tables.t;
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
  return c;
}

// Carry-less multiplication folds 16 bytes per step instead of looking up each byte.
//
// A reflected CRC of width W is the remainder of the message polynomial times x^W modulo its
// polynomial P, with the first byte's lowest bit as the highest power. Loaded little-endian,
// a 16-byte chunk's bit i is the coefficient of x^(127 - i): its low 64 bits are the upper
// part H (times x^64), its high 64 bits the lower part L. Folding the chunk onto the next one
// replaces H * x^192 + L * x^128 by H * (x^192 mod P) + L * (x^128 mod P), which leaves the
// remainder unchanged and fits in 128 bits again. What is left at the end is 16 bytes with
// the same CRC as everything folded into them (with the register starting at 0, leading
// zeros change nothing), finished with the tables. The two constants are foldConstant's.

#ifdef ZOLT_CRC_CLMUL
__attribute__((target("pclmul,sse2"))) uint32_t clmulFold(const Tables& tables, uint32_t crc, const uint8_t* bytes,
                                                          size_t count) {
  const __m128i constants =
      _mm_set_epi64x(static_cast<long long>(tables.foldLow), static_cast<long long>(tables.foldHigh));
  __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  x = _mm_xor_si128(x, _mm_cvtsi32_si128(static_cast<int>(crc)));  // the register enters at the first bytes
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
  return sliced(tables, sliced(tables, 0, folded, 16), bytes, count);
}

// Asked of the CPU itself (CPUID leaf 1, ECX bit 1) rather than through the compiler's
// CPU-feature support, whose initialisation the stub's own entry point would not run and
// which would add some 7 KB to it.
bool cpuHasClmul() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  return __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (ecx & bit_PCLMUL) != 0;
}
#endif

}  // namespace

bool build(Tables& tables, uint32_t reflectedPoly, uint64_t foldHigh, uint64_t foldLow) {
  auto& t = tables.t;
  for (unsigned i = 0; i < 256; ++i) {
    uint32_t x = i;
    for (int round = 0; round < 8; ++round) x = (x & 1) != 0 ? (x >> 1) ^ reflectedPoly : x >> 1;
    t[0][i] = x;
  }
  for (unsigned k = 1; k < 8; ++k)
    for (unsigned i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  tables.foldHigh = foldHigh;
  tables.foldLow = foldLow;
#ifdef ZOLT_CRC_CLMUL
  tables.haveClmul = cpuHasClmul();
#endif
  return true;
}

uint32_t update(const Tables& tables, uint32_t crc, const uint8_t* bytes, size_t count) {
#ifdef ZOLT_CRC_CLMUL
  if (count >= 64 && tables.haveClmul) return clmulFold(tables, crc, bytes, count);
#endif
  return sliced(tables, crc, bytes, count);
}

}  // namespace crc
