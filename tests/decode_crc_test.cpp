// CRC-16/ARC: the eight-byte table and carry-less-multiply paths against a
// bit-at-a-time reference, for every length around the 16-byte steps and any running value.
// Nothing here prepares the tables: they must be ready when the program starts, as the stub's
// worker and the archive writer use the CRC without asking for them first.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "decode/crc16.h"

namespace {

uint16_t bitwiseCrc(uint16_t crc, const uint8_t* bytes, size_t count) {
  while (count-- > 0) {
    crc ^= *bytes++;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

TEST(BlockCrc, CheckValue) {
  const auto* text = reinterpret_cast<const uint8_t*>("123456789");
  EXPECT_EQ(crc16Update(0, text, 9), 0xBB3D);
}

TEST(BlockCrc, MatchesBitwiseReferenceForAnyLengthAndStart) {
  std::mt19937 rng(42);
  std::vector<uint8_t> data(4096 + 1);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  for (size_t length = 0; length <= 300; ++length) {
    const uint16_t start = static_cast<uint16_t>(rng());
    // Offset 1: unaligned loads.
    EXPECT_EQ(crc16Update(start, data.data() + 1, length), bitwiseCrc(start, data.data() + 1, length))
        << "length " << length;
  }
  EXPECT_EQ(crc16Update(0x1234, data.data(), data.size()), bitwiseCrc(0x1234, data.data(), data.size()));
}

TEST(BlockCrc, BlocksChainLikeOneCall) {
  std::vector<uint8_t> data(100000);
  std::mt19937 rng(1);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  uint16_t chained = 0;
  for (size_t at = 0, step = 1; at < data.size(); at += step, step = step * 3 % 9973 + 1)
    chained = crc16Update(chained, data.data() + at, std::min(step, data.size() - at));
  EXPECT_EQ(chained, bitwiseCrc(0, data.data(), data.size()));
}

}  // namespace
