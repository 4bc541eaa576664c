// Parsing by cost for the best level: for a stretch of input, every position's matches are
// gathered first; then the cheapest path of literals and matches through the stretch is
// found under a model of bit costs taken from the symbol statistics, and the path is found
// again under the statistics of the previous path.
#pragma once

#include <cstdint>
#include <vector>

#include "pack/block_writer.h"
#include "pack/tree_match_finder.h"

namespace lzhpack {

class CostParser {
 public:
  CostParser(const uint8_t* data, uint32_t size, const MethodShape& shape, uint32_t chainDepth,
             uint32_t niceLength);

  // Enters data[0, end) into the match finder as history only; call once, before parse.
  void addHistory(uint32_t end);

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

  const uint8_t* data_;
  uint32_t size_;
  MethodShape shape_;
  TreeMatchFinder finder_;
  uint32_t chainDepth_;
  uint32_t niceLength_;
  CostModel model_;

  // Per position of the stretch: matches[first[i] .. first[i + 1]).
  std::vector<Match> matches_;
  std::vector<uint32_t> first_;
  // Cheapest cost to reach each position, and the token that ends there.
  std::vector<uint32_t> cost_;
  std::vector<uint32_t> arrival_;
};

}  // namespace lzhpack
