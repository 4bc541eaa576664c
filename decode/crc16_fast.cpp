#include "decode/crc16_fast.h"

#include <array>
#include <cstring>

namespace {

inline constexpr int kSlices = 16;
using SliceTables = std::array<std::array<uint16_t, 256>, kSlices>;

// tables[0] is the classic byte table; tables[k][b] is the CRC of byte b followed by k zero
// bytes, so sixteen independent lookups advance the register over sixteen bytes at once.
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

}  // namespace

uint16_t crc16Blocks(uint16_t crc, const uint8_t* bytes, size_t count) {
  uint32_t c = crc;
  while (count >= 16) {
    uint64_t lo, hi;
    std::memcpy(&lo, bytes, 8);
    std::memcpy(&hi, bytes + 8, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    lo = __builtin_bswap64(lo);
    hi = __builtin_bswap64(hi);
#endif
    lo ^= c;
    c = kTables[15][lo & 0xFF] ^ kTables[14][(lo >> 8) & 0xFF] ^ kTables[13][(lo >> 16) & 0xFF] ^
        kTables[12][(lo >> 24) & 0xFF] ^ kTables[11][(lo >> 32) & 0xFF] ^ kTables[10][(lo >> 40) & 0xFF] ^
        kTables[9][(lo >> 48) & 0xFF] ^ kTables[8][lo >> 56] ^ kTables[7][hi & 0xFF] ^
        kTables[6][(hi >> 8) & 0xFF] ^ kTables[5][(hi >> 16) & 0xFF] ^ kTables[4][(hi >> 24) & 0xFF] ^
        kTables[3][(hi >> 32) & 0xFF] ^ kTables[2][(hi >> 40) & 0xFF] ^ kTables[1][(hi >> 48) & 0xFF] ^
        kTables[0][hi >> 56];
    bytes += 16;
    count -= 16;
  }
  while (count-- > 0) c = (c >> 8) ^ kTables[0][(c ^ *bytes++) & 0xFF];
  return static_cast<uint16_t>(c);
}
