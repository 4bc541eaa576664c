#include "decode/crc16_fast.h"

#include <array>
#include <cstring>

namespace {

using SliceTables = std::array<std::array<uint16_t, 256>, 8>;

// tables[0] is the classic byte table; tables[k][b] is the CRC of byte b followed by k zero
// bytes, so eight table lookups advance the register over eight bytes at once.
constexpr SliceTables makeTables() {
  SliceTables t{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned x = i;
    for (int round = 0; round < 8; ++round) x = (x & 1) ? (x >> 1) ^ 0xA001 : x >> 1;
    t[0][i] = static_cast<uint16_t>(x);
  }
  for (unsigned k = 1; k < 8; ++k)
    for (unsigned i = 0; i < 256; ++i)
      t[k][i] = static_cast<uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
  return t;
}

constexpr SliceTables kTables = makeTables();

}  // namespace

uint16_t crc16Blocks(uint16_t crc, const uint8_t* bytes, size_t count) {
  uint32_t c = crc;
  while (count >= 8) {
    uint32_t lo, hi;
    std::memcpy(&lo, bytes, 4);
    std::memcpy(&hi, bytes + 4, 4);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    lo = __builtin_bswap32(lo);
    hi = __builtin_bswap32(hi);
#endif
    lo ^= c;
    c = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
        kTables[4][lo >> 24] ^ kTables[3][hi & 0xFF] ^ kTables[2][(hi >> 8) & 0xFF] ^
        kTables[1][(hi >> 16) & 0xFF] ^ kTables[0][hi >> 24];
    bytes += 8;
    count -= 8;
  }
  while (count-- > 0) c = (c >> 8) ^ kTables[0][(c ^ *bytes++) & 0xFF];
  return static_cast<uint16_t>(c);
}
