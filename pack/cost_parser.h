// Parsing by cost for the best level: for a stretch of input, every position's matches are
// gathered first; then the cheapest path of literals and matches through the stretch is
// found under a model of bit costs taken from the symbol statistics, and the path is found
// again under the statistics of the previous path.
#pragma once

#include <cstdint>
#include <vector>

#include "pack/block_writer.h"
#include "pack/match_finder.h"

namespace lzhpack {

class CostParser {
 public:
  CostParser(const uint8_t* data, uint32_t size, const MethodShape& shape, uint32_t chainDepth,
             uint32_t niceLength, int passes);

  // Parses data[position, until) into tokens and returns until.
  uint32_t parse(uint32_t position, uint32_t until, std::vector<uint32_t>& tokens);

 private:
  // Costs in 1/16 bit.
  struct CostModel {
    uint32_t symbol[kSymbolAlphabet];
    uint32_t position[kMaxPositionAlphabet];
  };

  void gatherMatches(uint32_t begin, uint32_t end);
  void findPath(uint32_t begin, uint32_t end, std::vector<uint32_t>& tokens);
  void setModel(const BlockHistogram& histogram);
  void setDefaultModel();
  uint32_t matchCost(uint32_t length, uint32_t distance) const {
    const uint32_t position = distance - 1;
    const int slot = positionSymbol(position);
    return model_.symbol[length + 256 - kMinMatch] + model_.position[slot] + (slot > 1 ? (slot - 1) * 16 : 0);
  }

  const uint8_t* data_;
  uint32_t size_;
  MethodShape shape_;
  MatchFinder finder_;
  uint32_t chainDepth_;
  uint32_t niceLength_;
  int passes_;
  uint32_t nextToInsert_ = 0;
  CostModel model_;

  // Per position of the stretch: matches[first[i] .. first[i + 1]).
  std::vector<Match> matches_;
  std::vector<uint32_t> first_;
  // Cheapest cost to reach each position, and the token that ends there.
  std::vector<uint32_t> cost_;
  std::vector<uint32_t> arrival_;
};

}  // namespace lzhpack
