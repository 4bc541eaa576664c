// The encoder of the static-Huffman LZH methods: LZ77 parsing over the method's window, then
// blocks whose boundaries are chosen by their coded size.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "pack/cost_parser.h"
#include "pack/lzh_encoder.h"
#include "pack/match_finder.h"

namespace lzhpack {

namespace {

struct LevelTuning {
  uint32_t chainDepth;
  uint32_t niceLength;         // a match this long is taken without looking further
  bool lazy;                   // look one position ahead before taking a match
  uint32_t maxShortDistance;   // 3-byte matches farther away cost more than three literals
};

LevelTuning tuningFor(PackLevel level) {
  switch (level) {
    case PackLevel::fast: return {8, 32, false, 2048};
    case PackLevel::normal: return {64, 128, true, 4096};
    case PackLevel::best: return {1024, 256, true, 4096};
  }
  return {64, 128, true, 4096};
}

inline int bitLength(uint32_t v) { return v == 0 ? 0 : 32 - __builtin_clz(v); }

// True when the match found one byte later is worth a literal now: longer by enough to pay
// for a literal and any growth of the distance's raw bits.
inline bool laterMatchIsBetter(const Match& now, const Match& later) {
  if (later.length < now.length) return false;
  const int gain = 4 * int(later.length - now.length) + bitLength(now.distance) - bitLength(later.distance);
  return gain > 2;
}

// Parses data[begin, end) into tokens. The match finder has seen every position before begin.
class Parser {
 public:
  Parser(const uint8_t* data, uint32_t size, int windowBits, const LevelTuning& tuning)
      : data_(data), size_(size), finder_(data, size, windowBits), tuning_(tuning) {}

  // Parses from `position` until at least `until` (a match may run past it); returns the
  // position reached.
  uint32_t parse(uint32_t position, uint32_t until, std::vector<uint32_t>& tokens) {
    while (position < until) {
      Match match = find(position);
      if (match.length == 0) {
        tokens.push_back(literalToken(data_[position++]));
        continue;
      }
      if (tuning_.lazy) {
        while (match.length < tuning_.niceLength && position + 1 < size_) {
          Match later = find(position + 1);
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
  Match find(uint32_t position) {
    while (nextToInsert_ < position) finder_.insert(nextToInsert_++);
    if (position < nextToInsert_) return {};  // already searched (lazy look-ahead at the end)
    nextToInsert_ = position + 1;
    return finder_.find(position, tuning_.chainDepth, tuning_.niceLength, tuning_.maxShortDistance);
  }

  const uint8_t* data_;
  uint32_t size_;
  MatchFinder finder_;
  LevelTuning tuning_;
  uint32_t nextToInsert_ = 0;
};

// Cuts the tokens into blocks: segments of a fixed number of symbols are joined while one
// block costs fewer bits than two.
void writeBlocks(BitWriter& out, const std::vector<uint32_t>& tokens, const MethodShape& shape,
                 std::vector<BlockRecord>* trace) {
  constexpr size_t kSegment = 4096;
  static_assert(kSegment <= kMaxBlockSymbols);
  size_t blockStart = 0;
  BlockHistogram block;
  uint64_t blockCost = 0;
  for (size_t segmentStart = 0; segmentStart < tokens.size(); segmentStart += kSegment) {
    const size_t segmentEnd = std::min(tokens.size(), segmentStart + kSegment);
    BlockHistogram segment;
    for (size_t i = segmentStart; i < segmentEnd; ++i) segment.add(tokens[i]);
    const uint64_t segmentCost = blockCostBits(segment, shape);
    if (block.count != 0) {
      if (block.count + segment.count <= kMaxBlockSymbols) {
        BlockHistogram joined = block;
        joined.add(segment);
        const uint64_t joinedCost = blockCostBits(joined, shape);
        if (joinedCost <= blockCost + segmentCost) {
          block = joined;
          blockCost = joinedCost;
          continue;
        }
      }
      writeBlock(out, tokens.data() + blockStart, segmentStart - blockStart, shape, trace);
    }
    blockStart = segmentStart;
    block = segment;
    blockCost = segmentCost;
  }
  if (block.count != 0) writeBlock(out, tokens.data() + blockStart, tokens.size() - blockStart, shape, trace);
}

}  // namespace

MethodShape methodShape(PackMethod method) {
  switch (method) {
    case PackMethod::lh5: return {"-lh5-", 13, 14, 4};
    case PackMethod::lh6: return {"-lh6-", 15, 16, 5};
    case PackMethod::lh7: return {"-lh7-", 16, 17, 5};
    case PackMethod::lh0: break;
  }
  return {"-lh0-", 0, 0, 0};
}

std::vector<uint8_t> encodeMember(const MethodShape& shape, PackLevel level, const uint8_t* data, size_t size,
                                  std::vector<BlockRecord>* trace) {
  std::vector<uint8_t> packed;
  if (size == 0) return packed;
  packed.reserve(size / 2 + 64);
  BitWriter out(packed);
  LevelTuning tuning = tuningFor(level);
  if (const char* e = getenv("ZT")) sscanf(e, "%u,%u,%u", &tuning.chainDepth, &tuning.niceLength, &tuning.maxShortDistance);
  int passes = 2; if (const char* e = getenv("ZP")) passes = atoi(e);
  Parser lazyParser(data, static_cast<uint32_t>(size), shape.dictionaryBits, tuning);
  CostParser costParser(data, static_cast<uint32_t>(size), shape, tuning.chainDepth, tuning.niceLength, passes);
  // Parsing a slice at a time bounds the token buffer; block boundaries fall at slice ends,
  // which costs a few header bytes per megabyte.
  constexpr uint32_t kSlice = 1u << 20;
  std::vector<uint32_t> tokens;
  uint32_t position = 0;
  while (position < size) {
    tokens.clear();
    const uint32_t until = static_cast<uint32_t>(std::min<size_t>(size, size_t(position) + kSlice));
    position = level == PackLevel::best ? costParser.parse(position, until, tokens)
                                        : lazyParser.parse(position, until, tokens);
    writeBlocks(out, tokens, shape, trace);
  }
  out.flush();
  return packed;
}

}  // namespace lzhpack

std::vector<uint8_t> encodeStaticHuffman(PackMethod method, PackLevel level, const uint8_t* data, size_t size) {
  if (method == PackMethod::lh0) return std::vector<uint8_t>(data, data + size);
  return lzhpack::encodeMember(lzhpack::methodShape(method), level, data, size);
}
