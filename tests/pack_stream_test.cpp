// The encoder's block stream, read back by a small reader written here from the block format
// alone (not the project's decoder): every block's codes must come back as the encoder built
// them, and the symbols must rebuild the input.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "pack/lzh_encoder.h"

namespace {

using lzhpack::BlockRecord;
using lzhpack::MethodShape;

class BitReader {
 public:
  explicit BitReader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  uint32_t get(int count) {
    uint32_t v = 0;
    for (int i = 0; i < count; ++i) {
      const size_t byte = bit_ >> 3;
      const uint32_t b = byte < bytes_.size() ? (bytes_[byte] >> (7 - (bit_ & 7))) & 1 : 0;
      if (byte >= bytes_.size()) overrun_ = true;
      v = (v << 1) | b;
      ++bit_;
    }
    return v;
  }
  bool overrun() const { return overrun_; }
  size_t bitPosition() const { return bit_; }

 private:
  const std::vector<uint8_t>& bytes_;
  size_t bit_ = 0;
  bool overrun_ = false;
};

// A canonical code read bit by bit: shorter codes first, symbol order within a length.
struct Code {
  std::vector<uint8_t> lengths;
  int constant = -1;

  // Codes must fill the code space exactly: an incomplete code leaves holes some decoders
  // fill with garbage, an over-full one cannot be decoded at all.
  bool complete() const {
    if (constant >= 0) return true;
    uint64_t kraft = 0;
    for (uint8_t len : lengths)
      if (len) kraft += 1ull << (16 - len);
    return kraft == (1ull << 16);
  }

  // Symbols in code order and the number of codes of each length, built on first use.
  mutable std::vector<int> ordered;
  mutable std::vector<uint32_t> perLength;

  int decode(BitReader& in) const {
    if (constant >= 0) return constant;
    if (perLength.empty()) {
      perLength.assign(17, 0);
      for (int len = 1; len <= 16; ++len)
        for (size_t s = 0; s < lengths.size(); ++s)
          if (lengths[s] == len) {
            ordered.push_back(static_cast<int>(s));
            perLength[len]++;
          }
    }
    uint32_t code = 0, first = 0, index = 0;
    for (int len = 1; len <= 16; ++len) {
      code |= in.get(1);
      if (code - first < perLength[len]) return ordered[index + code - first];
      index += perLength[len];
      first = (first + perLength[len]) << 1;
      code <<= 1;
    }
    ADD_FAILURE() << "undecodable code";
    return 0;
  }
};

Code readSmallLengths(BitReader& in, int alphabet, int countBits, int zeroRunAfter) {
  Code code;
  code.lengths.assign(alphabet, 0);
  const int count = static_cast<int>(in.get(countBits));
  if (count == 0) {
    code.constant = static_cast<int>(in.get(countBits));
    return code;
  }
  EXPECT_LE(count, alphabet);
  int i = 0;
  while (i < count && i < alphabet) {
    int len = static_cast<int>(in.get(3));
    if (len == 7)
      while (in.get(1) == 1) ++len;
    EXPECT_LE(len, 16);
    code.lengths[i++] = static_cast<uint8_t>(len);
    if (i == zeroRunAfter) i += static_cast<int>(in.get(2));
  }
  return code;
}

Code readSymbolLengths(BitReader& in, const Code& lengthCode) {
  Code code;
  code.lengths.assign(lzhpack::kSymbolAlphabet, 0);
  const int count = static_cast<int>(in.get(9));
  if (count == 0) {
    code.constant = static_cast<int>(in.get(9));
    return code;
  }
  EXPECT_LE(count, lzhpack::kSymbolAlphabet);
  int i = 0;
  while (i < count) {
    const int c = lengthCode.decode(in);
    int zeros = 0;
    if (c == 0) zeros = 1;
    else if (c == 1) zeros = static_cast<int>(in.get(4)) + 3;
    else if (c == 2) zeros = static_cast<int>(in.get(9)) + 20;
    if (c <= 2) {
      i += zeros;
      EXPECT_LE(i, count) << "zero run past the count";
    } else {
      code.lengths[i++] = static_cast<uint8_t>(c - 2);
    }
  }
  return code;
}

struct ReadBack {
  std::vector<uint8_t> bytes;
  std::vector<BlockRecord> blocks;
};

ReadBack readStream(const std::vector<uint8_t>& packed, size_t originalSize, const MethodShape& shape) {
  ReadBack result;
  BitReader in(packed);
  uint32_t left = 0;
  Code lengthCode, symbols, positions;
  const uint32_t window = 1u << shape.dictionaryBits;
  while (result.bytes.size() < originalSize) {
    if (left == 0) {
      BlockRecord record;
      left = in.get(16);
      EXPECT_NE(left, 0u) << "a block of 65536 symbols is not written by this encoder";
      record.symbolCount = left;
      lengthCode = readSmallLengths(in, lzhpack::kLengthCodeAlphabet, 5, 3);
      symbols = readSymbolLengths(in, lengthCode);
      positions = readSmallLengths(in, shape.positionSymbols, shape.positionCountBits, -1);
      EXPECT_TRUE(lengthCode.complete() && symbols.complete() && positions.complete());
      std::copy(lengthCode.lengths.begin(), lengthCode.lengths.end(), record.lengthCodeLengths.begin());
      std::copy(symbols.lengths.begin(), symbols.lengths.end(), record.symbolLengths.begin());
      std::copy(positions.lengths.begin(), positions.lengths.end(), record.positionLengths.begin());
      record.lengthCodeConstant = lengthCode.constant;
      record.symbolConstant = symbols.constant;
      record.positionConstant = positions.constant;
      result.blocks.push_back(record);
      if (::testing::Test::HasFailure()) return result;
    }
    --left;
    const int symbol = symbols.decode(in);
    if (symbol < 256) {
      result.bytes.push_back(static_cast<uint8_t>(symbol));
      continue;
    }
    const int slot = positions.decode(in);
    const uint32_t position = slot <= 1 ? slot : (1u << (slot - 1)) + in.get(slot - 1);
    const uint32_t distance = position + 1;
    const uint32_t length = symbol - 253;
    if (distance > result.bytes.size() || distance > window) {
      ADD_FAILURE() << "match reaches before the start or beyond the window: distance " << distance;
      return result;
    }
    for (uint32_t k = 0; k < length; ++k) result.bytes.push_back(result.bytes[result.bytes.size() - distance]);
  }
  EXPECT_EQ(left, 0u) << "the last block announces more symbols than the member holds";
  EXPECT_EQ((in.bitPosition() + 7) / 8, packed.size()) << "packed size differs from the bits used";
  EXPECT_FALSE(in.overrun());
  return result;
}

const MethodShape kShapes[] = {lzhpack::methodShape(PackMethod::lh5), lzhpack::methodShape(PackMethod::lh6),
                               lzhpack::methodShape(PackMethod::lh7)};
const PackLevel kLevels[] = {PackLevel::fast, PackLevel::normal, PackLevel::best};

// Packs with every method and level; the stream must decode to the input and carry exactly
// the codes the encoder recorded.
void verifyAllWays(const std::vector<uint8_t>& input, const char* what) {
  for (const MethodShape& shape : kShapes) {
    for (PackLevel level : kLevels) {
      SCOPED_TRACE(std::string(what) + " " + shape.id + " level " + std::to_string(int(level)));
      std::vector<BlockRecord> written;
      const std::vector<uint8_t> packed = lzhpack::encodeMember(shape, level, input.data(), input.size(), &written);
      const ReadBack back = readStream(packed, input.size(), shape);
      ASSERT_EQ(back.bytes.size(), input.size());
      ASSERT_TRUE(back.bytes == input) << "decoded bytes differ";
      ASSERT_EQ(back.blocks.size(), written.size());
      for (size_t b = 0; b < written.size(); ++b) {
        SCOPED_TRACE("block " + std::to_string(b));
        EXPECT_EQ(back.blocks[b].symbolCount, written[b].symbolCount);
        EXPECT_EQ(back.blocks[b].symbolConstant, written[b].symbolConstant);
        EXPECT_EQ(back.blocks[b].positionConstant, written[b].positionConstant);
        EXPECT_TRUE(back.blocks[b].symbolLengths == written[b].symbolLengths);
        EXPECT_TRUE(back.blocks[b].positionLengths == written[b].positionLengths);
        if (written[b].symbolConstant < 0) {
          EXPECT_EQ(back.blocks[b].lengthCodeConstant, written[b].lengthCodeConstant);
          EXPECT_TRUE(back.blocks[b].lengthCodeLengths == written[b].lengthCodeLengths);
        }
      }
    }
  }
}

std::vector<uint8_t> randomBytes(size_t size, uint32_t seed, int alphabet = 256) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(size);
  for (auto& b : v) b = static_cast<uint8_t>(rng() % alphabet);
  return v;
}

// Text-like data: words from a small vocabulary, so there are matches at all distances.
std::vector<uint8_t> wordSoup(size_t size, uint32_t seed) {
  static const char* words[] = {"the ", "archive ", "member ", "header ", "window ", "block ", "code ",
                                "length ", "position ", "symbol ", "\n", "decoder ", "stub ", "Zolt "};
  std::mt19937 rng(seed);
  std::vector<uint8_t> v;
  while (v.size() < size) {
    const char* w = words[rng() % 14];
    v.insert(v.end(), w, w + std::strlen(w));
  }
  v.resize(size);
  return v;
}

}  // namespace

TEST(EncoderStream, TinyInputs) {
  verifyAllWays({}, "empty");
  verifyAllWays({0x41}, "one byte");
  verifyAllWays({1, 2}, "two bytes");
  // Literals 0 and 1 only: both symbol lengths are 1 and nothing else is sent, so the code
  // for the symbol lengths has a single symbol too.
  std::vector<BlockRecord> written;
  const std::vector<uint8_t> zeroOne = {0, 1, 1, 0};
  lzhpack::encodeMember(lzhpack::methodShape(PackMethod::lh6), PackLevel::normal, zeroOne.data(), zeroOne.size(),
                        &written);
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0].lengthCodeConstant, 3) << "length 1 is length code 3";
  verifyAllWays(zeroOne, "literals 0 and 1");
  verifyAllWays({7, 7, 7}, "three equal bytes");
  verifyAllWays({'a', 'b', 'c', 'a', 'b', 'c', 'a'}, "short repeat");
}

TEST(EncoderStream, RunsLongerThanTheLongestMatch) {
  verifyAllWays(std::vector<uint8_t>(100000, 0x20), "run of spaces");
  std::vector<uint8_t> runs;
  for (int i = 0; i < 50; ++i) runs.insert(runs.end(), 257 + i * 31, static_cast<uint8_t>(i));
  verifyAllWays(runs, "runs of many lengths");
}

TEST(EncoderStream, SingleSymbolAndSinglePositionBlocks) {
  // All literals equal and every match at distance 1: one symbol code might be a constant,
  // and the only position is 0.
  std::vector<BlockRecord> written;
  const auto shape = lzhpack::methodShape(PackMethod::lh5);
  std::vector<uint8_t> zeros(70000, 0);
  auto packed = lzhpack::encodeMember(shape, PackLevel::normal, zeros.data(), zeros.size(), &written);
  ASSERT_FALSE(written.empty());
  EXPECT_EQ(written[0].positionConstant, 0) << "every match has distance 1";
  EXPECT_EQ(readStream(packed, zeros.size(), shape).bytes, zeros);
  verifyAllWays(zeros, "zeros");

  // No match at all: only literals, so the position code is empty (sent as a constant).
  std::vector<uint8_t> distinct(256);
  for (int i = 0; i < 256; ++i) distinct[i] = static_cast<uint8_t>(i);
  written.clear();
  packed = lzhpack::encodeMember(shape, PackLevel::best, distinct.data(), distinct.size(), &written);
  ASSERT_EQ(written.size(), 1u);
  EXPECT_GE(written[0].positionConstant, 0);
  verifyAllWays(distinct, "distinct bytes");

  // A one-byte member: its block has a single symbol, sent as a constant.
  written.clear();
  const std::vector<uint8_t> one = {0x41};
  packed = lzhpack::encodeMember(shape, PackLevel::normal, one.data(), one.size(), &written);
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0].symbolConstant, 0x41);
  EXPECT_EQ(readStream(packed, 1, shape).bytes, one);

  // One literal then one long match: two symbols, one position.
  verifyAllWays(std::vector<uint8_t>(257, 'x'), "257 x");
  verifyAllWays(std::vector<uint8_t>(4, 'x'), "4 x");
}

TEST(EncoderStream, MatchesAtTheLargestDistanceOfEachWindow) {
  for (int bits : {13, 15, 16}) {
    // A random block repeated with a period of exactly one window: only matches of the
    // largest distance exist.
    const size_t window = size_t(1) << bits;
    std::vector<uint8_t> data = randomBytes(window, 1000 + bits);
    std::vector<uint8_t> twice = data;
    twice.insert(twice.end(), data.begin(), data.end());
    twice.insert(twice.end(), data.begin(), data.begin() + 1000);
    for (const MethodShape& shape : kShapes) {
      if (shape.dictionaryBits != bits) continue;
      for (PackLevel level : kLevels) {
        std::vector<BlockRecord> written;
        auto packed = lzhpack::encodeMember(shape, level, twice.data(), twice.size(), &written);
        EXPECT_LT(packed.size(), window + window / 8) << shape.id << ": the repeat must be found";
        EXPECT_EQ(readStream(packed, twice.size(), shape).bytes, twice);
      }
    }
    verifyAllWays(twice, "period of one window");
  }
}

TEST(EncoderStream, IncompressibleAndPowerOfTwoSizes) {
  verifyAllWays(randomBytes(200000, 7), "random");
  for (size_t size : {size_t(1) << 12, size_t(1) << 13, size_t(1) << 16, size_t(1) << 17})
    verifyAllWays(wordSoup(size, static_cast<uint32_t>(size)), "2^k words");
}

TEST(EncoderStream, MixedDataManyBlocks) {
  // Text, then a skewed alphabet, then random bytes: the block splitter must cut, and each
  // block's codes must be read back exactly.
  std::vector<uint8_t> data = wordSoup(300000, 3);
  auto skewed = randomBytes(150000, 4, 5);
  data.insert(data.end(), skewed.begin(), skewed.end());
  auto noise = randomBytes(100000, 5);
  data.insert(data.end(), noise.begin(), noise.end());
  verifyAllWays(data, "mixed");
  std::vector<BlockRecord> written;
  auto shape = lzhpack::methodShape(PackMethod::lh7);
  lzhpack::encodeMember(shape, PackLevel::normal, data.data(), data.size(), &written);
  EXPECT_GE(written.size(), 3u) << "different kinds of data should get different blocks";
  for (const BlockRecord& r : written) EXPECT_LE(r.symbolCount, lzhpack::kMaxBlockSymbols);
}

TEST(EncoderStream, BlockCostIsExactlyWhatTheBlockTakes) {
  // The block splitter trusts blockCostBits; it must equal the bits writeBlock spends apart
  // from the raw low bits of positions.
  std::mt19937 rng(11);
  for (const MethodShape& shape : kShapes) {
    for (int round = 0; round < 40; ++round) {
      const size_t count = 1 + rng() % (round < 20 ? 300 : 65535);
      const int literalKinds = 1 + static_cast<int>(rng() % 256);
      const int matchShare = static_cast<int>(rng() % 101);
      std::vector<uint32_t> tokens(count);
      uint64_t rawBits = 0;
      for (uint32_t& t : tokens) {
        if (static_cast<int>(rng() % 100) < matchShare) {
          const uint32_t length = 3 + rng() % (rng() % 2 ? 10 : 254);
          const uint32_t distance = 1 + (rng() % (1u << shape.dictionaryBits)) % (1u << (rng() % (shape.dictionaryBits + 1)));
          t = lzhpack::matchToken(length, distance);
          const int slot = lzhpack::positionSymbol(distance - 1);
          rawBits += slot > 1 ? slot - 1 : 0;
        } else {
          t = lzhpack::literalToken(static_cast<uint8_t>(rng() % literalKinds));
        }
      }
      lzhpack::BlockHistogram histogram;
      for (uint32_t t : tokens) histogram.add(t);
      std::vector<uint8_t> bytes;
      lzhpack::BitWriter out(bytes);
      std::vector<BlockRecord> written;
      lzhpack::writeBlock(out, tokens.data(), tokens.size(), shape, &written);
      ASSERT_EQ(out.bitsWritten(), lzhpack::blockCostBits(histogram, shape) + rawBits) << shape.id << " round " << round;
      // And the block reads back.
      out.flush();
      BitReader in(bytes);
      in.get(16);
      const Code lengthCode = readSmallLengths(in, lzhpack::kLengthCodeAlphabet, 5, 3);
      const Code symbols = readSymbolLengths(in, lengthCode);
      const Code positions = readSmallLengths(in, shape.positionSymbols, shape.positionCountBits, -1);
      EXPECT_TRUE(std::equal(symbols.lengths.begin(), symbols.lengths.end(), written[0].symbolLengths.begin()));
      EXPECT_TRUE(std::equal(positions.lengths.begin(), positions.lengths.end(), written[0].positionLengths.begin()));
    }
  }
}

// Streams of any bit length joined one after the other give the bits one writer would have
// written (segments of a member end anywhere inside a byte).
TEST(EncoderStream, JoinedBitStreamsEqualOneStream) {
  std::mt19937 rng(5);
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> whole;
    lzhpack::BitWriter one(whole);
    lzhpack::BitJoiner joiner;
    const int pieces = 1 + static_cast<int>(rng() % 6);
    for (int p = 0; p < pieces; ++p) {
      std::vector<uint8_t> piece;
      lzhpack::BitWriter part(piece);
      const int fields = static_cast<int>(rng() % 40);  // 0: an empty piece
      for (int f = 0; f < fields; ++f) {
        const int count = static_cast<int>(rng() % 25);
        const uint32_t value = rng();
        one.put(count, value);
        part.put(count, value);
      }
      const uint64_t bits = part.bitsWritten();
      part.flush();
      joiner.append(piece.data(), bits);
    }
    one.flush();
    joiner.finish();
    ASSERT_EQ(joiner.bytes(), whole) << "round " << round;
  }
}
