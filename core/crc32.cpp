#include "core/crc32.h"

#include "decode/reflected_crc.h"

namespace {

crc::Tables g_tables;
// P = x^32 + x^26 + ... + 1: 0xEDB88320 reflected, 0x104C11DB7 in normal form.
constexpr uint64_t kPoly = 0x104C11DB7u;
constexpr uint64_t kFoldHigh = crc::foldConstant(192, 32, kPoly);
constexpr uint64_t kFoldLow = crc::foldConstant(128, 32, kPoly);
const bool g_crcReady = crc::build(g_tables, 0xEDB88320u, kFoldHigh, kFoldLow);

}  // namespace

uint32_t crc32Update(uint32_t crc, const uint8_t* bytes, size_t count) {
  return ~crc::update(g_tables, ~crc, bytes, count);
}
