// -lzs- and -lz5-: literals, absolute window positions, and the -lz5- initial window pattern.
#include <gtest/gtest.h>

#include "support/bit_writer.h"
#include "support/decode_harness.h"

namespace {

constexpr int kLzs = 8, kLz5 = 9;

DecodedMember lz5(std::vector<uint8_t> packed, uint32_t size) { return decodeInMemory(kLz5, packed, size); }

TEST(Lz5, FlagBitOneIsALiteralByte) {
  const auto m = lz5({0xFF, 'l', 'i', 't', 'e', 'r', 'a', 'l', 's'}, 8);
  EXPECT_EQ(m.status, DecodeStatus::ok);
  EXPECT_EQ(bytesAsText(m.bytes), "literals");
}

// A match names a window position; the source is that position plus 18. Before anything is
// written the window holds: zeros (0-17), thirteen copies of each byte value (18-3345), the
// bytes 0-255 ascending (3346-3601) and descending (3602-3857), 128 zeros and 110 spaces.
TEST(Lz5, MatchesReadTheInitialWindowPattern) {
  struct Case {
    uint16_t position;
    std::vector<uint8_t> expected;
  };
  const Case cases[] = {
      {0, {0, 0, 0}},                       // offset 18: the first run of zeros
      {13 * 'A', {'A', 'A', 'A'}},          // the run of 'A'
      {13 * 'A' + 11, {'A', 'A', 'B'}},     // the end of that run
      {3346 - 18 + 'A', {'A', 'B', 'C'}},   // ascending bytes
      {3602 - 18, {255, 254, 253}},         // descending bytes
      {3840, {0, 0, 0}},                    // offset 3858: the zeros
      {3968, {' ', ' ', ' '}},              // offset 3986: the closing spaces
  };
  for (const Case& c : cases) {
    // Flag byte 0xFE: the first item is a match (length 3), the second a literal.
    const uint8_t low = static_cast<uint8_t>(c.position & 0xFF);
    const uint8_t high = static_cast<uint8_t>((c.position >> 8) << 4);
    const auto m = lz5({0xFE, low, high, '!'}, 4);
    std::vector<uint8_t> expected = c.expected;
    expected.push_back('!');
    EXPECT_EQ(m.bytes, expected) << "position " << c.position;
  }
}

TEST(Lz5, SecondMatchByteCarriesHighPositionBitsAndLength) {
  // 0x34 0x5F: position 0x534 (offset 0x546 = 1350: thirteen copies of byte 102, from
  // offset 18 + 13 * 102 = 1344), length 15 + 3 = 18.
  const auto m = lz5({0x00, 0x34, 0x5F}, 18);
  EXPECT_EQ(m.status, DecodeStatus::ok);
  std::vector<uint8_t> expected(7, 102);
  expected.resize(18, 103);
  EXPECT_EQ(m.bytes, expected);
}

TEST(Lz5, PositionsFollowTheWriteBufferAsItFills) {
  // "abc" then a match from window position 4096 - 18 (offset 0): "abc" again.
  const uint16_t position = 4096 - 18;
  const auto m = lz5({0xF7, 'a', 'b', 'c', static_cast<uint8_t>(position & 0xFF),
                      static_cast<uint8_t>((position >> 8) << 4)},
                     6);
  EXPECT_EQ(bytesAsText(m.bytes), "abcabc");
}

TEST(Lzs, LiteralsAreAOneBitAndEightBits) {
  BitWriter w;
  w.bit(true).bits('A', 8).bit(true).bits('z', 8);
  EXPECT_EQ(bytesAsText(decodeInMemory(kLzs, w.bytes(), 2).bytes), "Az");
}

TEST(Lzs, MatchesCopyFromPositionPlus17) {
  BitWriter start;  // position 0 at the start: offset 17, still spaces; length field 15: 17 bytes
  start.bit(false).bits(0, 11).bits(15, 4);
  const auto spaces = decodeInMemory(kLzs, start.bytes(), 17);
  EXPECT_EQ(spaces.status, DecodeStatus::ok);
  EXPECT_EQ(bytesAsText(spaces.bytes), std::string(17, ' '));

  BitWriter back;  // "xyz" at offsets 0-2, then position 2048 - 17 (offset 0), length 2
  back.bit(true).bits('x', 8).bit(true).bits('y', 8).bit(true).bits('z', 8);
  back.bit(false).bits(2048 - 17, 11).bits(0, 4);
  EXPECT_EQ(bytesAsText(decodeInMemory(kLzs, back.bytes(), 5).bytes), "xyzxy");
}

// The bytes before the -lz5- pattern are zeros, as LArc and LHA for DOS hold them; -lzs-
// starts with the spaces of the other methods. Output overwrites the window from offset 0,
// so these bytes are read by a match from a whole window back, before they are written.
TEST(LarcStartWindow, FirstBytesAreZerosForLz5AndSpacesForLzs) {
  for (const std::string prefix : {"", "ab"}) {
    const unsigned offset = static_cast<unsigned>(prefix.size());
    const unsigned length = 18 - offset;  // up to the pattern's start
    BitWriter lz5;
    lz5.bits((1u << offset) - 1, 8);  // flag bits: the literals, then the match
    for (const char c : prefix) lz5.bits(static_cast<uint8_t>(c), 8);
    const unsigned position = offset + 4096 - 18;
    lz5.bits(position & 0xFF, 8).bits(((position >> 8) << 4) | (length - 3), 8);
    const auto m = decodeInMemory(kLz5, lz5.bytes(), 18);
    EXPECT_EQ(m.status, DecodeStatus::ok) << prefix;
    EXPECT_EQ(bytesAsText(m.bytes), prefix + std::string(length, '\0')) << prefix;

    BitWriter lzs;
    for (const char c : prefix) lzs.bit(true).bits(static_cast<uint8_t>(c), 8);
    lzs.bit(false).bits(offset + 2048 - 17, 11).bits(length - 1 - 2, 4);
    const auto s = decodeInMemory(kLzs, lzs.bytes(), 17);
    EXPECT_EQ(s.status, DecodeStatus::ok) << prefix;
    EXPECT_EQ(bytesAsText(s.bytes), prefix + std::string(length - 1, ' ')) << prefix;
  }
}

TEST(LarcCorruption, MatchPastTheOriginalSize) {
  EXPECT_EQ(lz5({0x00, 0x00, 0x0F}, 10).status, DecodeStatus::damaged);
  BitWriter w;
  w.bit(false).bits(0, 11).bits(15, 4);
  EXPECT_EQ(decodeInMemory(kLzs, w.bytes(), 16).status, DecodeStatus::damaged);
}

}  // namespace
