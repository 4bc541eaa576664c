// -lh1- and -lh2-: the adaptive trees keep their invariants through updates and rebuilds,
// and streams encoded against a second tree (the encoder's side) decode to the items.
// Bit-exactness against an independent encoder is checked by the corpus tests.
#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "decode/dynamic_huffman.h"
#include "support/bit_writer.h"
#include "support/decode_harness.h"

namespace {

constexpr int kLh1 = 1, kLh2 = 2;
constexpr int kPositionRoot = AdaptiveTrees::kPositionRoot;

// Checks the slot layout of the tree in slots first to end - 1 (root at first).
void expectTreeInvariants(const AdaptiveTrees& t, int first, int end, bool pinnedRoot) {
  for (int s = first; s < end; ++s) {
    const int c = t.childPair(s);
    if (c < 0) {
      EXPECT_EQ(t.leafSlot(~c), s) << "leaf link of slot " << s;
    } else {
      ASSERT_TRUE(c - 1 > first && c < end) << "children of slot " << s;
      EXPECT_EQ(t.parent(c), s);
      EXPECT_EQ(t.parent(c - 1), s);
      if (!(pinnedRoot && s == first)) {
        EXPECT_EQ(t.weight(s), t.weight(c) + t.weight(c - 1)) << "slot " << s;
      }
    }
    if (s == first) continue;
    if (!(pinnedRoot && s == first + 1)) {
      EXPECT_GE(t.weight(s - 1), t.weight(s)) << "weight order at slot " << s;
      EXPECT_EQ(t.group(s) == t.group(s - 1), t.weight(s) == t.weight(s - 1)) << "group at slot " << s;
    }
    if (s == first + 1 || t.group(s) != t.group(s - 1)) {
      EXPECT_EQ(t.groupLeader(t.group(s)), s) << "leader " << s;
    }
  }
}

TEST(AdaptiveTree, StartsWithEverySymbolOfWeightOne) {
  AdaptiveTrees t;
  t.startSymbolTree(314, 60);
  for (unsigned s = 0; s < 314; ++s) EXPECT_EQ(t.weight(t.leafSlot(s)), 1);
  EXPECT_EQ(t.weight(0), 314);
  EXPECT_EQ(t.leafSlot(0), 2 * 314 - 2);  // symbol 0 in the last slot
  expectTreeInvariants(t, 0, 2 * 314 - 1, false);
}

TEST(AdaptiveTree, RebuildHalvesLeafWeightsRoundingUp) {
  AdaptiveTrees t;
  t.startSymbolTree(286, 256);
  std::mt19937 rng(7);
  std::geometric_distribution<unsigned> skewed(0.05);
  while (t.weight(0) < 0x8000) t.updateSymbol(std::min(skewed(rng), 285u));
  ASSERT_EQ(t.weight(0), 0x8000);
  expectTreeInvariants(t, 0, 571, false);
  std::vector<unsigned> before(286);
  for (unsigned s = 0; s < 286; ++s) before[s] = t.weight(t.leafSlot(s));

  t.updateSymbol(42);  // root at 32768: halve and rebuild first
  ASSERT_FALSE(t.damaged());
  for (unsigned s = 0; s < 286; ++s)
    EXPECT_EQ(t.weight(t.leafSlot(s)), (before[s] + 1) / 2 + (s == 42 ? 1 : 0)) << "symbol " << s;
  expectTreeInvariants(t, 0, 571, false);
}

TEST(AdaptiveTree, PositionTreeGrowsOneSymbolPer64BytesAndRebuilds) {
  AdaptiveTrees t;
  t.startSymbolTree(286, 256);
  t.startPositionTree(13);
  EXPECT_EQ(t.childPair(kPositionRoot), ~314);  // position symbol 0 alone, in the root
  t.growPositionTree(64);
  EXPECT_EQ(t.lastPositionSlot(), kPositionRoot);  // 64 bytes: still one symbol
  t.growPositionTree(65);
  EXPECT_EQ(t.lastPositionSlot(), kPositionRoot + 2);
  t.growPositionTree(8128);
  EXPECT_EQ(t.lastPositionSlot(), kPositionRoot + 2 * 126);
  t.growPositionTree(8129);
  EXPECT_EQ(t.lastPositionSlot(), kPositionRoot + 2 * 127);  // symbol 127, the last
  t.growPositionTree(1u << 30);
  EXPECT_EQ(t.lastPositionSlot(), kPositionRoot + 2 * 127);
  expectTreeInvariants(t, kPositionRoot, t.lastPositionSlot() + 1, true);

  std::mt19937 rng(3);
  for (int i = 0; i < 40000; ++i) t.updatePosition(rng() % 16 == 0 ? rng() % 128 : rng() % 4);
  ASSERT_FALSE(t.damaged());
  EXPECT_EQ(t.weight(kPositionRoot), 0xFFFF);
  expectTreeInvariants(t, kPositionRoot, t.lastPositionSlot() + 1, true);
}

// The encoder's side: the code of a leaf is its path from the root, where the child in slot i
// of childPair i is reached by a 0 bit and the one in slot i - 1 by a 1 bit.
void writeLeaf(BitWriter& w, const AdaptiveTrees& t, unsigned leafIndex, int root) {
  std::vector<bool> path;
  for (int slot = t.leafSlot(leafIndex); slot != root; slot = t.parent(slot)) {
    if (path.size() > 100) throw std::logic_error("symbol not in the tree");
    path.push_back(t.childPair(t.parent(slot)) != slot);
  }
  for (auto it = path.rbegin(); it != path.rend(); ++it) w.bit(*it);
}

struct Item {
  unsigned length;  // 0 for a literal
  unsigned value;   // the byte, or the position (distance minus 1)
};

// Encodes items as -lh1- (fixed position code) or -lh2- and returns the expected bytes.
std::vector<uint8_t> encodeAdaptive(int method, const std::vector<Item>& items, BitWriter& w) {
  AdaptiveTrees encoder;
  const bool lh2 = method == kLh2;
  encoder.startSymbolTree(lh2 ? 286 : 314, lh2 ? 256 : 60);
  if (lh2) encoder.startPositionTree(13);
  // -lh1- positions: fixed lengths 3, 4 (1-3), 5 (4-11), 6 (12-23), 7 (24-47), 8 (48-63).
  std::vector<uint8_t> fixed(64);
  for (unsigned s = 0; s < 64; ++s) fixed[s] = s == 0 ? 3 : s < 4 ? 4 : s < 12 ? 5 : s < 24 ? 6 : s < 48 ? 7 : 8;
  const std::vector<uint32_t> fixedCodes = canonicalCodes(fixed);
  const unsigned windowMask = lh2 ? 8191 : 4095;

  std::vector<uint8_t> out;
  for (const Item& item : items) {
    const unsigned symbol = item.length == 0 ? item.value : item.length + 253;
    const unsigned coded = lh2 && symbol >= 285 ? 285 : symbol;
    writeLeaf(w, encoder, coded, 0);
    encoder.updateSymbol(coded);
    if (lh2 && coded == 285) w.bits(symbol - 285, 8);
    if (item.length == 0) {
      out.push_back(static_cast<uint8_t>(item.value));
      continue;
    }
    // An -lh2- position symbol exists only once the bytes it reaches were decoded, so an
    // encoder never sends a position beyond them.
    const unsigned position = lh2 && item.value >= out.size() ? item.value % std::max<size_t>(out.size(), 1) : item.value;
    const unsigned high = position / 64;
    if (lh2) {
      encoder.growPositionTree(static_cast<uint32_t>(out.size()));
      writeLeaf(w, encoder, AdaptiveTrees::kFirstPositionLeaf + high, kPositionRoot);
      encoder.updatePosition(high);
    } else {
      w.bits(fixedCodes[high], fixed[high]);
    }
    w.bits(position % 64, 6);
    // The window starts as spaces; positions are taken modulo its size.
    for (unsigned i = 0; i < item.length; ++i) {
      const long source = static_cast<long>(out.size()) - static_cast<long>((position & windowMask) + 1);
      out.push_back(source >= 0 ? out[source] : ' ');
    }
  }
  EXPECT_FALSE(encoder.damaged());
  return out;
}

std::vector<Item> randomItems(std::mt19937& rng, size_t count, unsigned maxLength, unsigned maxPosition) {
  std::vector<Item> items;
  std::geometric_distribution<unsigned> skewed(0.02);
  for (size_t i = 0; i < count; ++i) {
    if (rng() % 5 < 2) {
      items.push_back({0, 'a' + skewed(rng) % 26});
    } else {
      const unsigned length = 3 + (rng() % 4 == 0 ? rng() % (maxLength - 2) : skewed(rng) % 8);
      const unsigned position = rng() % 3 == 0 ? rng() % (maxPosition + 1) : skewed(rng) % 200;
      items.push_back({length, position});
    }
  }
  return items;
}

class AdaptiveRoundTrip : public testing::TestWithParam<int> {};

// Enough items that both trees are rebuilt (more than 32768 symbols and position updates).
TEST_P(AdaptiveRoundTrip, RandomItemsDecodeToTheirBytes) {
  const int method = GetParam();
  std::mt19937 rng(method == kLh1 ? 11 : 12);
  const auto items = method == kLh1 ? randomItems(rng, 70000, 60, 4095) : randomItems(rng, 70000, 287, 8191);
  BitWriter w;
  const std::vector<uint8_t> expected = encodeAdaptive(method, items, w);
  const DecodedMember m = decodeInMemory(method, w.bytes(), static_cast<uint32_t>(expected.size()));
  EXPECT_EQ(m.status, DecodeStatus::ok);
  EXPECT_TRUE(m.bytes == expected);
}

INSTANTIATE_TEST_SUITE_P(Methods, AdaptiveRoundTrip, testing::Values(kLh1, kLh2));

TEST(Lh2, ExtendedSymbolTakesEightBitsAfterTheUpdate) {
  for (unsigned length : {32u, 287u}) {
    BitWriter w;
    const auto expected = encodeAdaptive(kLh2, {{0, 'e'}, {length, 0}, {0, 'f'}}, w);
    ASSERT_EQ(expected.size(), length + 2);
    EXPECT_EQ(decodeInMemory(kLh2, w.bytes(), length + 2).bytes, expected);
  }
}

TEST(Lh2, FirstMatchReadsOnlyTheSixRawPositionBits) {
  // The root of the position tree is the only leaf: the match's position is 6 raw bits.
  AdaptiveTrees symbols;
  symbols.startSymbolTree(286, 256);
  BitWriter w;
  writeLeaf(w, symbols, 256, 0);  // a match of 3
  symbols.updateSymbol(256);
  w.bits(5, 6);                   // position 5: distance 6, the initial spaces
  writeLeaf(w, symbols, 'k', 0);
  const DecodedMember m = decodeInMemory(kLh2, w.bytes(), 4);
  EXPECT_EQ(m.status, DecodeStatus::ok);
  EXPECT_EQ(bytesAsText(m.bytes), "   k");
}

TEST(AdaptiveCorruption, AnyBitsDecodeWithoutLeavingTheTrees) {
  // Every bit sequence walks to a leaf: random packed data decodes to some bytes, or ends
  // as damaged only through a match running past the original size.
  std::mt19937 rng(99);
  for (int round = 0; round < 40; ++round) {
    std::vector<uint8_t> packed(2000 + rng() % 4000);
    for (auto& b : packed) b = static_cast<uint8_t>(rng());
    for (int method : {kLh1, kLh2}) {
      const uint32_t size = 1 + rng() % 100000;
      const DecodedMember m = decodeInMemory(method, packed, size);
      if (m.status == DecodeStatus::ok) {
        EXPECT_EQ(m.bytes.size(), size);
      } else {
        EXPECT_EQ(m.status, DecodeStatus::damaged);
        EXPECT_LT(m.bytes.size(), size);
      }
    }
  }
}

}  // namespace
