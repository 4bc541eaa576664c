// -lh3-: the older block format with plain length fields, the fixed position code, the
// single-symbol escapes and the extended length symbol 285.
#include <gtest/gtest.h>

#include "support/bit_writer.h"
#include "support/decode_harness.h"

namespace {

constexpr int kLh3 = 3;

std::vector<uint8_t> lengths(size_t n, std::initializer_list<std::pair<unsigned, uint8_t>> set) {
  std::vector<uint8_t> v(n, 0);
  for (auto [symbol, length] : set) v.at(symbol) = length;
  return v;
}

// 286 symbol lengths: a 0 bit for an unused symbol, else a 1 bit and the length minus 1.
void symbolLengths(BitWriter& w, const std::vector<uint8_t>& lens) {
  for (uint8_t len : lens) {
    if (len == 0) {
      w.bit(false);
    } else {
      w.bit(true).bits(len - 1u, 4);
    }
  }
}

// The fixed -lh3- position lengths: 2 bits for symbol 0, then 4, 5, 6, 7, 8 and 9 bits from
// symbols 1, 3, 6, 13, 31 and 78 on.
std::vector<uint8_t> fixedPositionLengths() {
  std::vector<uint8_t> v(128);
  for (unsigned s = 0; s < 128; ++s)
    v[s] = s == 0 ? 2 : s < 3 ? 4 : s < 6 ? 5 : s < 13 ? 6 : s < 31 ? 7 : s < 78 ? 8 : 9;
  return v;
}

struct Lh3Items {
  BitWriter& w;
  std::vector<uint8_t> symbolLens;
  std::vector<uint32_t> symbolCodes;
  std::vector<uint8_t> positionLens;  // empty: a single position symbol with no code bits
  std::vector<uint32_t> positionCodes;

  void symbol(unsigned s) { w.bits(symbolCodes.at(s), symbolLens.at(s)); }
  void literal(uint8_t b) { symbol(b); }
  void match(unsigned length, unsigned position) {
    if (length >= 32) {
      symbol(285);
      w.bits(length - 32, 8);
    } else {
      symbol(length + 253);
    }
    if (!positionLens.empty()) w.bits(positionCodes.at(position / 64), positionLens.at(position / 64));
    w.bits(position % 64, 6);
  }
};

TEST(Lh3Blocks, ThreeLengthsOfOneAnnounceASingleSymbol) {
  BitWriter w;
  w.bits(4, 16);
  for (int i = 0; i < 3; ++i) w.bit(true).bits(0, 4);
  w.bits('c', 9);
  w.bit(false);  // fixed positions
  const DecodedMember m = decodeInMemory(kLh3, w.bytes(), 4);
  EXPECT_EQ(m.status, DecodeStatus::ok);
  EXPECT_EQ(bytesAsText(m.bytes), "cccc");
}

// After position lengths 1, 1, 1 the single position symbol takes 7 bits (enough for the
// 128 position symbols). Reading more would take the following item bits and garble the rest.
TEST(Lh3Blocks, SinglePositionSymbolIsSevenBitsWide) {
  BitWriter w;
  const auto symbols = lengths(286, {{'x', 1}, {'y', 2}, {256, 2}});
  w.bits(5, 16);
  symbolLengths(w, symbols);
  w.bit(true);
  w.bits(1, 4).bits(1, 4).bits(1, 4);
  w.bits(1, 7);  // every position symbol is 1: positions 64 to 127
  Lh3Items items{w, symbols, canonicalCodes(symbols), {}, {}};
  items.literal('x');
  items.literal('y');
  items.match(3, 65);  // distance 66: still the initial spaces
  items.literal('y');
  items.match(3, 64 + 2);  // distance 67 from position 6: spaces again, then "  "
  const DecodedMember m = decodeInMemory(kLh3, w.bytes(), 9);
  EXPECT_EQ(m.status, DecodeStatus::ok);
  EXPECT_EQ(bytesAsText(m.bytes), "xy   y   ");
}

// Fixed position code, the extended length symbol, and the farthest position: fill the
// window with 'a', 'b' and 287-byte matches, then copy from position 8191 (symbol 127 with
// the six bits 111111), which reaches the 'a'.
TEST(Lh3Blocks, FixedPositionsAndExtendedLengthsReachTheWholeWindow) {
  BitWriter w;
  const auto symbols = lengths(286, {{'a', 2}, {'b', 2}, {256, 2}, {285, 2}});
  const auto positions = fixedPositionLengths();
  w.bits(2 + 28 + 1 + 1, 16);
  symbolLengths(w, symbols);
  w.bit(false);
  Lh3Items items{w, symbols, canonicalCodes(symbols), positions, canonicalCodes(positions)};
  items.literal('a');
  items.literal('b');
  for (int i = 0; i < 28; ++i) items.match(287, 0);
  items.match(154, 0);
  items.match(3, 8191);
  const DecodedMember m = decodeInMemory(kLh3, w.bytes(), 8195);
  ASSERT_EQ(m.status, DecodeStatus::ok);
  std::vector<uint8_t> expected(8192, 'b');
  expected[0] = 'a';
  expected.insert(expected.end(), {'a', 'b', 'b'});
  EXPECT_EQ(m.bytes, expected);
}

TEST(Lh3Blocks, ExtendedSymbolWithZeroBitsIsA32ByteMatch) {
  BitWriter w;
  const auto symbols = lengths(286, {{'q', 1}, {285, 1}});
  w.bits(2, 16);
  symbolLengths(w, symbols);
  w.bit(false);
  const auto positions = fixedPositionLengths();
  Lh3Items items{w, symbols, canonicalCodes(symbols), positions, canonicalCodes(positions)};
  items.literal('q');
  items.match(32, 0);
  EXPECT_EQ(decodeInMemory(kLh3, w.bytes(), 33).bytes, std::vector<uint8_t>(33, 'q'));
}

TEST(Lh3Corruption, CodeSetsThatCannotBeValid) {
  {  // four symbol codes of one bit
    BitWriter w;
    w.bits(1, 16);
    symbolLengths(w, lengths(286, {{'a', 1}, {'b', 1}, {'c', 1}, {'d', 1}}));
    w.bit(false);
    EXPECT_EQ(decodeInMemory(kLh3, w.bytes(), 1).status, DecodeStatus::damaged);
  }
  {  // an over-full position code
    BitWriter w;
    w.bits(1, 16);
    symbolLengths(w, lengths(286, {{'a', 1}, {256, 1}}));
    w.bit(true);
    for (int i = 0; i < 128; ++i) w.bits(i < 5 ? 2 : 0, 4);
    EXPECT_EQ(decodeInMemory(kLh3, w.bytes(), 1).status, DecodeStatus::damaged);
  }
  {  // a single symbol outside the 286-symbol alphabet
    BitWriter w;
    w.bits(1, 16);
    for (int i = 0; i < 3; ++i) w.bit(true).bits(0, 4);
    w.bits(300, 9);
    w.bit(false);
    EXPECT_EQ(decodeInMemory(kLh3, w.bytes(), 1).status, DecodeStatus::damaged);
  }
}

}  // namespace
