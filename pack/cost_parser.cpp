#include "pack/cost_parser.h"

#include <algorithm>
#include <cmath>

namespace lzhpack {

namespace {

// Input bytes parsed as one path. Shorter stretches follow changing statistics sooner;
// 32 KiB measured best among 8 to 256 KiB (by 0.1 to 0.4%).
constexpr uint32_t kStretch = 1u << 15;
// Paths found per stretch: the first under the previous stretch's statistics, the second
// under its own. A third pass measured no better.
constexpr int kPasses = 2;
constexpr uint32_t kUnreached = 0xFFFFFFFFu;

// -log2 of a symbol's share in 1/16 bit; unseen symbols count as half an occurrence so that
// a path may still try them.
void entropyCosts(const uint32_t* frequencies, int n, uint32_t* costs) {
  double total = 0;
  for (int s = 0; s < n; ++s) total += frequencies[s] ? frequencies[s] : 0.5;
  for (int s = 0; s < n; ++s) {
    const double f = frequencies[s] ? frequencies[s] : 0.5;
    const double bits = std::log2(total / f);
    costs[s] = static_cast<uint32_t>(std::clamp(bits, 1.0, 16.0) * 16 + 0.5);
  }
}

}  // namespace

CostParser::CostParser(const uint8_t* data, uint32_t size, const MethodShape& shape, uint32_t chainDepth,
                       uint32_t niceLength)
    : data_(data),
      size_(size),
      shape_(shape),
      finder_(data, size, shape.dictionaryBits),
      chainDepth_(chainDepth),
      niceLength_(niceLength) {
  setDefaultModel();
}

void CostParser::setDefaultModel() {
  // Before any statistics: literals 8 bits, match lengths dearer as they grow rarer,
  // position symbols 4 bits plus their raw bits.
  for (int s = 0; s < 256; ++s) model_.symbol[s] = 8 * 16;
  for (int s = 256; s < kSymbolAlphabet; ++s) model_.symbol[s] = (6 + std::min(s - 256, 10)) * 16;
  for (int s = 0; s < kMaxPositionAlphabet; ++s) model_.position[s] = 4 * 16;
}

void CostParser::setModel(const BlockHistogram& histogram) {
  entropyCosts(histogram.symbols, kSymbolAlphabet, model_.symbol);
  entropyCosts(histogram.positions, shape_.positionSymbols, model_.position);
}

void CostParser::addHistory(uint32_t end) {
  for (uint32_t pos = 0; pos < end; ++pos) finder_.advance(pos, chainDepth_, niceLength_, false, matches_);
}

void CostParser::gatherMatches(uint32_t begin, uint32_t end) {
  matches_.clear();
  first_.assign(end - begin + 1, 0);
  uint32_t pos = begin;
  while (pos < end) {
    first_[pos - begin] = static_cast<uint32_t>(matches_.size());
    const uint32_t found = finder_.advance(pos, chainDepth_, niceLength_, true, matches_);
    ++pos;
    // A match of the nice length is taken as it is: the positions it covers are only
    // inserted, not searched (long runs would otherwise cost a full search per byte).
    if (found != 0 && matches_.back().length >= niceLength_) {
      const uint32_t skipTo = std::min(end, pos - 1 + matches_.back().length);
      while (pos < skipTo) {
        first_[pos - begin] = static_cast<uint32_t>(matches_.size());
        finder_.advance(pos++, chainDepth_, niceLength_, false, matches_);
      }
    }
  }
  first_[end - begin] = static_cast<uint32_t>(matches_.size());
}

void CostParser::findPath(uint32_t begin, uint32_t end, std::vector<uint32_t>& tokens) {
  const uint32_t n = end - begin;
  cost_.assign(n + 1, kUnreached);
  arrival_.assign(n + 1, 0);
  cost_[0] = 0;
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t here = cost_[i];
    const uint32_t literal = here + model_.symbol[data_[begin + i]];
    if (literal < cost_[i + 1]) {
      cost_[i + 1] = literal;
      arrival_[i + 1] = literalToken(data_[begin + i]);
    }
    uint32_t length = kMinMatch;
    for (uint32_t m = first_[i]; m < first_[i + 1]; ++m) {
      const Match match = matches_[m];
      const uint32_t longest = std::min(match.length, n - i);
      const int slot = positionSymbol(match.distance - 1);
      const uint32_t positionCost = here + model_.position[slot] + (slot > 1 ? (slot - 1) * 16 : 0);
      for (; length <= longest; ++length) {
        const uint32_t c = positionCost + model_.symbol[length + 256 - kMinMatch];
        if (c < cost_[i + length]) {
          cost_[i + length] = c;
          arrival_[i + length] = matchToken(length, match.distance);
        }
      }
    }
  }
  // Walk back from the end, then emit in order.
  const size_t firstToken = tokens.size();
  for (uint32_t i = n; i > 0;) {
    const uint32_t token = arrival_[i];
    tokens.push_back(token);
    const uint32_t symbol = tokenSymbol(token);
    i -= symbol < 256 ? 1 : symbol - 256 + kMinMatch;
  }
  std::reverse(tokens.begin() + static_cast<std::ptrdiff_t>(firstToken), tokens.end());
}

uint32_t CostParser::parse(uint32_t position, uint32_t until, std::vector<uint32_t>& tokens) {
  while (position < until) {
    const uint32_t end = std::min(until, position + kStretch);
    gatherMatches(position, end);
    for (int pass = 0; pass < kPasses; ++pass) {
      const size_t firstToken = tokens.size();
      findPath(position, end, tokens);
      BlockHistogram histogram;
      for (size_t t = firstToken; t < tokens.size(); ++t) histogram.add(tokens[t]);
      setModel(histogram);
      if (pass + 1 < kPasses) tokens.resize(firstToken);
    }
    position = end;
  }
  return position;
}

}  // namespace lzhpack
