// -lh4- to -lh7-: block headers, code sets, lengths, positions and the window, on streams
// built bit by bit; and the rejection of code sets that cannot be valid.
#include <gtest/gtest.h>

#include <random>

#include "support/bit_writer.h"
#include "support/decode_harness.h"

namespace {

constexpr int kLh4 = 4, kLh5 = 5, kLh6 = 6, kLh7 = 7;

// Header of a block whose symbol set is one symbol c (count field 0), likewise positions.
void singleSymbolBlock(BitWriter& w, uint16_t blockSize, unsigned symbol, unsigned positionCountBits) {
  w.bits(blockSize, 16);
  w.bits(0, 5).bits(0, 5);                // code-length code: count 0, value 0
  w.bits(0, 9).bits(symbol, 9);           // symbols: count 0, value c
  w.bits(0, positionCountBits).bits(0, positionCountBits);  // positions: count 0, value 0
}

std::vector<uint8_t> lengths(size_t n, std::initializer_list<std::pair<unsigned, uint8_t>> set) {
  std::vector<uint8_t> v(n, 0);
  for (auto [symbol, length] : set) v.at(symbol) = length;
  return v;
}

TEST(StaticBlocks, CountZeroMakesEverySymbolTheSingleValueWithoutBits) {
  BitWriter w;
  singleSymbolBlock(w, 3, 'Q', 4);
  const DecodedMember m = decodeInMemory(kLh5, w.bytes(), 3);
  EXPECT_EQ(m.status, DecodeStatus::ok);
  EXPECT_EQ(bytesAsText(m.bytes), "QQQ");
}

TEST(StaticBlocks, BlockSizeZeroMeans65536Symbols) {
  BitWriter w;
  singleSymbolBlock(w, 0, 'a', 4);
  singleSymbolBlock(w, 1, 'b', 4);
  const DecodedMember m = decodeInMemory(kLh5, w.bytes(), 65537);
  ASSERT_EQ(m.status, DecodeStatus::ok);
  ASSERT_EQ(m.bytes.size(), 65537u);
  EXPECT_EQ(std::count(m.bytes.begin(), m.bytes.end(), 'a'), 65536);
  EXPECT_EQ(m.bytes.back(), 'b');
}

TEST(StaticBlocks, PackedDataThatEndsEarlyContinuesWithZeroBitsForEightBytesOnly) {
  // After two 'Z' (a 52-bit header in 7 bytes) the next block header is read from 0 bits,
  // 48 of them past the end: a 65536-symbol block whose single symbol is the byte 0, which
  // takes no bits.
  BitWriter w;
  singleSymbolBlock(w, 2, 'Z', 4);
  const DecodedMember m = decodeInMemory(kLh5, w.bytes(), 4);
  EXPECT_EQ(m.status, DecodeStatus::ok);
  EXPECT_EQ(m.bytes, (std::vector<uint8_t>{'Z', 'Z', 0, 0}));
  // Using up that block too: still within the 64 bits of slack.
  EXPECT_EQ(decodeInMemory(kLh5, w.bytes(), 2 + 65536).status, DecodeStatus::ok);
  // One more block header would take the 0 bits past the end to 100: damaged.
  EXPECT_EQ(decodeInMemory(kLh5, w.bytes(), 2 + 65536 + 1).status, DecodeStatus::damaged);
}

TEST(StaticBlocks, MatchesReadTheInitialSpacesBeforeAnythingIsWritten) {
  BitWriter w;
  StaticBlockWriter block{w, 4};
  block.header(2, lengths(510, {{'x', 1}, {256 + 2, 1}}), lengths(14, {{0, 1}, {7, 1}}));
  block.match(5, 99);
  block.literal('x');
  const DecodedMember m = decodeInMemory(kLh5, w.bytes(), 6);
  EXPECT_EQ(m.status, DecodeStatus::ok);
  EXPECT_EQ(bytesAsText(m.bytes), "     x");
}

struct WindowCase {
  int method;
  unsigned windowBytes;
  unsigned positionSymbols;
  unsigned countBits;
  unsigned farPosition;  // the largest position the alphabet can send
};

class StaticWindow : public testing::TestWithParam<WindowCase> {};

// Fills exactly one window ('a', then 'b' repeated by 256- and 254-byte matches at distance
// 1), then copies from the farthest position: a distance of the whole window reaches the
// 'a'. For -lh4- the alphabet reaches 8191, twice the window; positions wrap modulo 4096.
TEST_P(StaticWindow, FarthestPositionReachesBackOneWholeWindow) {
  const WindowCase c = GetParam();
  unsigned farSymbol = 0;
  while ((c.farPosition >> farSymbol) != 0) ++farSymbol;
  BitWriter w;
  StaticBlockWriter block{w, c.countBits};
  const unsigned fullMatches = (c.windowBytes - 2) / 256;
  const unsigned lastMatch = (c.windowBytes - 2) % 256;
  ASSERT_GE(lastMatch, 3u);
  block.header(static_cast<uint16_t>(2 + fullMatches + 1 + 2),
               lengths(510, {{'a', 2}, {'b', 2}, {256, 3}, {lastMatch + 253, 3}, {509, 3}}),
               lengths(c.positionSymbols, {{0, 1}, {farSymbol, 1}}));
  block.literal('a');
  block.literal('b');
  for (unsigned i = 0; i < fullMatches; ++i) block.match(256, 0);
  block.match(lastMatch, 0);
  block.match(3, c.farPosition);  // length code 256: the shortest match
  block.match(3, 0);
  const DecodedMember m = decodeInMemory(c.method, w.bytes(), c.windowBytes + 6);
  ASSERT_EQ(m.status, DecodeStatus::ok);
  ASSERT_EQ(m.bytes.size(), c.windowBytes + 6u);
  std::vector<uint8_t> expected(c.windowBytes, 'b');
  expected[0] = 'a';
  for (uint8_t b : {'a', 'b', 'b', 'b', 'b', 'b'}) expected.push_back(b);
  EXPECT_EQ(m.bytes, expected);
}

INSTANTIATE_TEST_SUITE_P(AllWindows, StaticWindow,
                         testing::Values(WindowCase{kLh4, 4096, 14, 4, 8191}, WindowCase{kLh5, 8192, 14, 4, 8191},
                                         WindowCase{kLh6, 32768, 16, 5, 32767},
                                         WindowCase{kLh7, 65536, 17, 5, 65535}));

// A member far longer than the window: random literals, then whole-window-distance matches
// of 256 bytes with an occasional literal. Every match byte must equal the byte one window
// earlier, across every point where the decoder writes its output out.
TEST(StaticWindow, LongMemberMatchesAcrossEveryFlush) {
  std::mt19937 rng(1234);
  BitWriter w;
  StaticBlockWriter block{w, 4};
  std::vector<uint8_t> symbolLengths(510, 0);
  for (int i = 0; i < 256; ++i) symbolLengths[i] = 9;
  symbolLengths[509] = 2;
  block.header(0, symbolLengths, lengths(14, {{0, 1}, {13, 1}}));
  std::vector<uint8_t> expected;
  for (int i = 0; i < 8192; ++i) {
    const uint8_t b = static_cast<uint8_t>(rng());
    block.literal(b);
    expected.push_back(b);
  }
  int items = 8192;
  while (expected.size() < 700000) {
    if (rng() % 8 == 0) {
      const uint8_t b = static_cast<uint8_t>(rng());
      block.literal(b);
      expected.push_back(b);
    } else {
      block.match(256, 8191);
      for (int i = 0; i < 256; ++i) expected.push_back(expected[expected.size() - 8192]);
    }
    ++items;
  }
  ASSERT_LT(items, 65536);
  const DecodedMember m = decodeInMemory(kLh5, w.bytes(), static_cast<uint32_t>(expected.size()));
  EXPECT_EQ(m.status, DecodeStatus::ok);
  EXPECT_EQ(m.bytes, expected);
}

TEST(StaticPositions, SymbolJCarriesJMinus1ExtraBits) {
  BitWriter w;
  StaticBlockWriter block{w, 4};
  block.header(8, lengths(510, {{'0', 2}, {'1', 2}, {256, 2}}),
               lengths(14, {{0, 2}, {1, 2}, {3, 2}}));
  const char* text = "0101";
  for (const char* p = text; *p; ++p) block.literal(static_cast<uint8_t>(*p));
  block.match(3, 1);   // symbol 1: position 1, distance 2 -> "010"
  block.match(3, 0);   // distance 1 -> "000"
  block.literal('1');
  block.match(3, 5);   // symbol 3 with the bits 01: position 5, distance 6
  std::string expected = "0101" "010" "000" "1";
  for (int i = 0; i < 3; ++i) expected.push_back(expected[expected.size() - 6]);
  const DecodedMember m = decodeInMemory(kLh5, w.bytes(), static_cast<uint32_t>(expected.size()));
  EXPECT_EQ(m.status, DecodeStatus::ok);
  EXPECT_EQ(bytesAsText(m.bytes), expected);
}

TEST(StaticPositions, SingleValuePositionSetNeedsNoCodeBits) {
  // Position count 0 with value 0: every match has distance 1 and reads no position bits.
  BitWriter w;
  w.bits(3, 16);
  w.bits(19, 5);
  StaticBlockWriter block{w, 4};
  for (int i = 0; i < 19; ++i) {
    block.smallLength(5);
    if (i == 2) w.bits(0, 2);
  }
  // Symbols: 'k' and length code 256 + 7 (10 bytes), both 1 bit.
  std::vector<uint8_t> symbols = lengths(510, {{'k', 1}, {263, 1}});
  w.bits(264, 9);
  for (unsigned i = 0; i < 264;) {
    if (symbols[i] != 0) {
      w.bits(symbols[i] + 2u, 5);
      ++i;
    } else {
      unsigned run = 0;
      while (i + run < 264 && symbols[i + run] == 0) ++run;
      run = std::min(run, 18u);
      if (run >= 3) {
        w.bits(1, 5).bits(run - 3, 4);
      } else {
        w.bits(0, 5);
        run = 1;
      }
      i += run;
    }
  }
  w.bits(0, 4).bits(0, 4);
  w.bits(0, 1).bits(1, 1).bits(0, 1);  // 'k', match of 10, 'k'
  const DecodedMember m = decodeInMemory(kLh5, w.bytes(), 12);
  EXPECT_EQ(m.status, DecodeStatus::ok);
  EXPECT_EQ(bytesAsText(m.bytes), std::string(12, 'k'));
}

TEST(StaticSmallLengths, UnaryLengthsAboveSixAreDecoded) {
  // Position lengths 1, 2, 7, 8, 9, 9 ... the 7-to-9-bit codes use the unary continuation.
  std::vector<uint8_t> positions = lengths(14, {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7},
                                                {7, 8}, {8, 9}, {9, 9}});
  BitWriter w;
  StaticBlockWriter block{w, 4};
  block.header(3, lengths(510, {{'z', 1}, {256, 1}}), positions);
  block.literal('z');
  block.literal('z');
  block.match(3, 300);  // symbol 9: 256 + 8 extra bits; distance 301 reaches the spaces
  const DecodedMember m = decodeInMemory(kLh5, w.bytes(), 5);
  EXPECT_EQ(m.status, DecodeStatus::ok);
  EXPECT_EQ(bytesAsText(m.bytes), "zz   ");
}

// --- Code sets and streams that cannot be valid: the member fails as damaged. ---

DecodeStatus decodeStatus(const BitWriter& w, uint32_t size, int method = kLh5) {
  return decodeInMemory(method, w.bytes(), size).status;
}

TEST(StaticCorruption, SmallCodeLengthAbove16) {
  BitWriter w;
  StaticBlockWriter block{w, 4};
  block.header(1, lengths(510, {{'a', 1}}), lengths(14, {{0, 17}}));
  EXPECT_EQ(decodeStatus(w, 1), DecodeStatus::damaged);
}

TEST(StaticCorruption, OverfullSymbolCode) {
  BitWriter w;
  StaticBlockWriter block{w, 4};
  block.header(1, lengths(510, {{'a', 1}, {'b', 1}, {'c', 1}}), lengths(14, {{0, 1}}));
  EXPECT_EQ(decodeStatus(w, 1), DecodeStatus::damaged);
}

TEST(StaticCorruption, OverfullPositionCode) {
  BitWriter w;
  StaticBlockWriter block{w, 4};
  block.header(1, lengths(510, {{'a', 1}}), lengths(14, {{0, 1}, {1, 1}, {2, 1}}));
  EXPECT_EQ(decodeStatus(w, 1), DecodeStatus::damaged);
}

TEST(StaticCorruption, CountsAboveTheAlphabet) {
  {  // code-length code: 20 of 19
    BitWriter w;
    w.bits(1, 16).bits(20, 5);
    EXPECT_EQ(decodeStatus(w, 1), DecodeStatus::damaged);
  }
  {  // symbols: 511 of 510
    BitWriter w;
    w.bits(1, 16).bits(0, 5).bits(3, 5).bits(511, 9);
    EXPECT_EQ(decodeStatus(w, 1), DecodeStatus::damaged);
  }
  {  // positions: 15 of 14 (-lh5-), 17 of 16 (-lh6-)
    BitWriter w;
    w.bits(1, 16).bits(0, 5).bits(0, 5).bits(0, 9).bits('a', 9).bits(15, 4);
    EXPECT_EQ(decodeStatus(w, 1), DecodeStatus::damaged);
    BitWriter w6;
    w6.bits(1, 16).bits(0, 5).bits(0, 5).bits(0, 9).bits('a', 9).bits(17, 5);
    EXPECT_EQ(decodeStatus(w6, 1, kLh6), DecodeStatus::damaged);
  }
}

TEST(StaticCorruption, ZeroRunPastTheLastSymbol) {
  // Code-length code is the single symbol 2 (a run of 20 + 9 bits); 500 + 100 zeros.
  BitWriter w;
  w.bits(1, 16).bits(0, 5).bits(2, 5);
  w.bits(510, 9).bits(480, 9).bits(80, 9);
  EXPECT_EQ(decodeStatus(w, 1), DecodeStatus::damaged);
}

TEST(StaticCorruption, SingleValueOutsideTheAlphabet) {
  BitWriter symbols;
  singleSymbolBlock(symbols, 1, 510, 4);
  EXPECT_EQ(decodeStatus(symbols, 1), DecodeStatus::damaged);
  // A position value outside the alphabet fails only when a match needs it.
  BitWriter unused;
  unused.bits(1, 16).bits(0, 5).bits(0, 5).bits(0, 9).bits('a', 9).bits(0, 4).bits(15, 4);
  EXPECT_EQ(decodeStatus(unused, 1), DecodeStatus::ok);
  BitWriter used;
  used.bits(1, 16).bits(0, 5).bits(0, 5).bits(0, 9).bits(256, 9).bits(0, 4).bits(15, 4);
  EXPECT_EQ(decodeStatus(used, 3), DecodeStatus::damaged);
}

TEST(StaticCorruption, CodeOutsideAnIncompleteSet) {
  // Only 'a' has a code (0); the bit 1 starts no code.
  BitWriter w;
  StaticBlockWriter block{w, 4};
  block.header(2, lengths(510, {{'a', 1}}), lengths(14, {{0, 1}}));
  block.literal('a');
  w.bit(true);
  EXPECT_EQ(decodeStatus(w, 2), DecodeStatus::damaged);
}

TEST(StaticCorruption, MatchRunningPastTheOriginalSize) {
  BitWriter w;
  StaticBlockWriter block{w, 4};
  block.header(2, lengths(510, {{'a', 1}, {263, 1}}), lengths(14, {{0, 1}, {1, 1}}));
  block.literal('a');
  block.match(10, 0);
  EXPECT_EQ(decodeStatus(w, 5), DecodeStatus::damaged);
  EXPECT_EQ(decodeStatus(w, 11), DecodeStatus::ok);
}

}  // namespace
