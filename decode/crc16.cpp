#include "decode/crc16.h"

#include "decode/reflected_crc.h"

namespace {

crc::Tables g_tables;

// Built before main, so that no caller can see the tables empty. P = x^16 + x^15 + x^2 + 1:
// 0xA001 reflected, 0x18005 in normal form.
constexpr uint64_t kPoly = 0x18005;
constexpr uint64_t kFoldHigh = crc::foldConstant(192, 16, kPoly);
constexpr uint64_t kFoldLow = crc::foldConstant(128, 16, kPoly);
const bool g_crcReady = crc::build(g_tables, 0xA001, kFoldHigh, kFoldLow);

}  // namespace

uint16_t crc16Update(uint16_t crc, const uint8_t* bytes, size_t count) {
  return static_cast<uint16_t>(crc::update(g_tables, crc, bytes, count));
}
