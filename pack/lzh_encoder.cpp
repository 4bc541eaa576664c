// The encoder of the static-Huffman LZH methods: LZ77 parsing over the method's window, then
// blocks whose boundaries are chosen by their coded size.
#include <algorithm>
#include <cstring>
#include <memory>

#include "pack/cost_parser.h"
#include "pack/lzh_encoder.h"
#include "pack/match_finder.h"

namespace lzhpack {

namespace {

enum class Parsing { greedy, lazy, byCost };

struct LevelTuning {
  Parsing parsing;
  uint32_t chainDepth;        // candidates examined per search (tree nodes for byCost)
  uint32_t niceLength;        // a match this long is taken without looking further
  uint32_t maxShortDistance;  // 3-byte matches farther away cost more than three literals
  uint32_t lazyLimit;         // a match this long is not weighed against the next position's
  uint32_t goodLength;        // with a match this long in hand, the next search goes a quarter as deep
  size_t segmentSymbols;      // the block splitter's unit
};

// Measured on the 80 MB benchmark (manual-page text and x86-64 library code), -lh7-: fast
// takes half of normal's time for 4.8% more bytes; normal takes 85% of gzip -6's time;
// best takes almost five times normal's time for 3.9% fewer bytes. Deeper searches gain
// little: normal with 96 candidates saves 0.16% for 20% more time, with 512 about 0.4% for
// twice the time; best (a binary tree) finds the same matches at a depth of 64 as at 2048.
// Parsing by cost even with shallow searches and one pass takes three times gzip -6's time,
// hence lazy parsing for normal.
LevelTuning tuningFor(PackLevel level) {
  switch (level) {
    case PackLevel::fast: return {Parsing::greedy, 8, 32, 2048, 0, 0, 4096};
    case PackLevel::normal: return {Parsing::lazy, 64, 128, 4096, 32, 16, 2048};
    case PackLevel::best: return {Parsing::byCost, 128, 256, 65536, 0, 0, 512};
  }
  return {Parsing::lazy, 64, 128, 4096, 32, 16, 2048};
}

inline int bitLength(uint32_t v) { return v == 0 ? 0 : 32 - __builtin_clz(v); }

// True when the match found one byte later is worth a literal now: longer by enough to pay
// for a literal and any growth of the distance's raw bits.
inline bool laterMatchIsBetter(const Match& now, const Match& later) {
  if (later.length < now.length) return false;
  const int gain = 4 * int(later.length - now.length) + bitLength(now.distance) - bitLength(later.distance);
  return gain > 2;
}

// Greedy or lazy parsing over hash chains: the longest match at a position is taken, unless
// (lazy) the next position has a better one, in which case a literal goes first.
class ChainParser {
 public:
  ChainParser(const uint8_t* data, uint32_t size, int windowBits, const LevelTuning& tuning)
      : data_(data), size_(size), finder_(data, size, windowBits), tuning_(tuning) {}

  // Parses from `position` until at least `until` (a match may run past it); returns the
  // position reached.
  uint32_t parse(uint32_t position, uint32_t until, std::vector<uint32_t>& tokens) {
    while (position < until) {
      Match match = find(position, tuning_.chainDepth);
      if (match.length == 0) {
        tokens.push_back(literalToken(data_[position++]));
        continue;
      }
      if (tuning_.parsing == Parsing::lazy) {
        while (match.length < tuning_.lazyLimit && position + 1 < size_) {
          const uint32_t depth = match.length >= tuning_.goodLength ? tuning_.chainDepth / 4 : tuning_.chainDepth;
          const Match later = find(position + 1, depth);
          if (!laterMatchIsBetter(match, later)) break;
          tokens.push_back(literalToken(data_[position++]));
          match = later;
        }
      }
      tokens.push_back(matchToken(match.length, match.distance));
      position += match.length;
      while (nextToInsert_ < position) finder_.insert(nextToInsert_++);
    }
    return position;
  }

 private:
  Match find(uint32_t position, uint32_t chainDepth) {
    while (nextToInsert_ < position) finder_.insert(nextToInsert_++);
    if (position < nextToInsert_) return {};  // already searched (lazy look-ahead at the end)
    nextToInsert_ = position + 1;
    return finder_.find(position, chainDepth, tuning_.niceLength, tuning_.maxShortDistance);
  }

  const uint8_t* data_;
  uint32_t size_;
  MatchFinder finder_;
  LevelTuning tuning_;
  uint32_t nextToInsert_ = 0;
};

// Cuts the tokens into blocks by their coded size. The tokens are first cut into segments of
// a fixed number of symbols; then, again and again, the two neighbouring blocks whose joining
// saves the most bits are joined, until no join saves any (or would pass the block limit).
void writeBlocks(BitWriter& out, const std::vector<uint32_t>& tokens, const MethodShape& shape,
                 size_t segmentSymbols, std::vector<BlockRecord>* trace) {
  struct Block {
    size_t start;
    BlockHistogram histogram;
    uint64_t cost;
    int64_t joinGain;  // bits saved by joining this block with the next one; < 0: never
  };
  std::vector<Block> blocks;
  for (size_t start = 0; start < tokens.size(); start += segmentSymbols) {
    Block b{start, {}, 0, -1};
    const size_t end = std::min(tokens.size(), start + segmentSymbols);
    for (size_t i = start; i < end; ++i) b.histogram.add(tokens[i]);
    b.cost = blockCostBits(b.histogram, shape);
    blocks.push_back(b);
  }
  auto updateGain = [&](size_t i) {
    blocks[i].joinGain = -1;
    if (i + 1 >= blocks.size()) return;
    if (blocks[i].histogram.count + blocks[i + 1].histogram.count > kMaxBlockSymbols) return;
    BlockHistogram joined = blocks[i].histogram;
    joined.add(blocks[i + 1].histogram);
    blocks[i].joinGain = int64_t(blocks[i].cost + blocks[i + 1].cost) - int64_t(blockCostBits(joined, shape));
  };
  for (size_t i = 0; i < blocks.size(); ++i) updateGain(i);
  while (true) {
    size_t best = blocks.size();
    for (size_t i = 0; i < blocks.size(); ++i)
      if (blocks[i].joinGain >= 0 && (best == blocks.size() || blocks[i].joinGain > blocks[best].joinGain)) best = i;
    if (best == blocks.size()) break;
    blocks[best].histogram.add(blocks[best + 1].histogram);
    blocks[best].cost = blockCostBits(blocks[best].histogram, shape);
    blocks.erase(blocks.begin() + static_cast<std::ptrdiff_t>(best) + 1);
    updateGain(best);
    if (best > 0) updateGain(best - 1);
  }
  for (size_t i = 0; i < blocks.size(); ++i) {
    const size_t end = i + 1 < blocks.size() ? blocks[i + 1].start : tokens.size();
    writeBlock(out, tokens.data() + blocks[i].start, end - blocks[i].start, shape, trace);
  }
}

}  // namespace

MethodShape methodShape(PackMethod method) {
  const LzhMethod& entry = METHODS[methodNumberOf(method)];
  MethodShape shape{};
  std::memcpy(shape.id, methodIdOf(method).text, sizeof shape.id);
  shape.dictionaryBits = entry.dictionaryBits;
  if (method != PackMethod::lh0) {
    shape.positionSymbols = static_cast<int>(staticPositionSymbols(entry.dictionaryBits));
    shape.positionCountBits = static_cast<int>(staticPositionCountBits(entry.dictionaryBits));
  }
  return shape;
}

void encodeSegment(const MethodShape& shape, PackLevel level, const uint8_t* data, size_t history, size_t size,
                   PackedBits& result, std::vector<BlockRecord>* trace) {
  result.bytes.clear();
  result.bitCount = 0;
  if (size <= history) return;
  // Blocks of incompressible data take slightly more than their bytes; room for that.
  result.bytes.reserve((size - history) + (size - history) / 8 + 64);
  BitWriter out(result.bytes);
  const LevelTuning tuning = tuningFor(level);
  const uint32_t size32 = static_cast<uint32_t>(size);
  std::unique_ptr<ChainParser> chainParser;
  std::unique_ptr<CostParser> costParser;
  if (tuning.parsing == Parsing::byCost)
    costParser = std::make_unique<CostParser>(data, size32, shape, tuning.chainDepth, tuning.niceLength);
  else
    chainParser = std::make_unique<ChainParser>(data, size32, shape.dictionaryBits, tuning);
  uint32_t position = static_cast<uint32_t>(history);
  if (costParser) costParser->addHistory(position);
  // Parsing a slice at a time bounds the token buffer; block boundaries fall at slice ends,
  // which costs a few header bytes per megabyte.
  constexpr uint32_t kSlice = 1u << 20;
  // Kept per thread: a fresh 4 MiB buffer for every segment costs page faults.
  thread_local std::vector<uint32_t> tokens;
  while (position < size32) {
    tokens.clear();
    const uint32_t until = position + std::min(kSlice, size32 - position);
    position = costParser ? costParser->parse(position, until, tokens) : chainParser->parse(position, until, tokens);
    writeBlocks(out, tokens, shape, tuning.segmentSymbols, trace);
  }
  result.bitCount = out.bitsWritten();
  out.flush();
}

std::vector<uint8_t> encodeMember(const MethodShape& shape, PackLevel level, const uint8_t* data, size_t size,
                                  std::vector<BlockRecord>* trace) {
  const size_t window = size_t(1) << shape.dictionaryBits;
  BitJoiner joined;
  PackedBits bits;
  for (size_t start = 0; start < size; start += kSegmentBytes) {
    const size_t history = std::min(start, window);
    const size_t end = std::min(size, start + kSegmentBytes);
    encodeSegment(shape, level, data + start - history, history, end - start + history, bits, trace);
    joined.append(bits.bytes.data(), bits.bitCount);
  }
  joined.finish();
  return std::move(joined.bytes());
}

}  // namespace lzhpack

std::vector<uint8_t> encodeStaticHuffman(PackMethod method, PackLevel level, const uint8_t* data, size_t size) {
  if (method == PackMethod::lh0) return std::vector<uint8_t>(data, data + size);
  return lzhpack::encodeMember(lzhpack::methodShape(method), level, data, size);
}
