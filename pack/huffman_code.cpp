#include "pack/huffman_code.h"

#include <algorithm>
#include <vector>

namespace lzhpack {

namespace {

// Depth of every leaf of a Huffman tree over the used symbols, which arrive sorted by
// ascending frequency. Two-queue construction: leaves and merged nodes are both consumed
// in ascending weight order, so no heap is needed.
void huffmanDepths(const uint32_t* sortedFrequencies, int count, uint32_t* depths) {
  // Nodes 0..count-1 are leaves, count..2*count-2 internal nodes in creation order.
  std::vector<uint64_t> weight(2 * count - 1);
  std::vector<int> parent(2 * count - 1, -1);
  for (int i = 0; i < count; ++i) weight[i] = sortedFrequencies[i];
  int nextLeaf = 0;
  int nextInternal = count;
  auto takeSmallest = [&](int created) {
    if (nextLeaf < count && (nextInternal >= created || weight[nextLeaf] <= weight[nextInternal]))
      return nextLeaf++;
    return nextInternal++;
  };
  for (int created = count; created < 2 * count - 1; ++created) {
    int a = takeSmallest(created);
    int b = takeSmallest(created);
    weight[created] = weight[a] + weight[b];
    parent[a] = created;
    parent[b] = created;
  }
  // Internal nodes are created after their children, so walking down from the root
  // (highest index) gives every parent's depth before its children's.
  std::vector<uint32_t> nodeDepth(2 * count - 1, 0);
  for (int node = 2 * count - 3; node >= 0; --node) nodeDepth[node] = nodeDepth[parent[node]] + 1;
  for (int i = 0; i < count; ++i) depths[i] = nodeDepth[i];
}

}  // namespace

int buildCodeLengths(const uint32_t* frequencies, int n, int maxBits, uint8_t* lengths) {
  std::fill(lengths, lengths + n, 0);
  std::vector<int> used;
  used.reserve(n);
  for (int s = 0; s < n; ++s)
    if (frequencies[s] != 0) used.push_back(s);
  const int count = static_cast<int>(used.size());
  if (count < 2) return count;

  std::stable_sort(used.begin(), used.end(),
                   [&](int a, int b) { return frequencies[a] < frequencies[b]; });
  std::vector<uint32_t> sorted(count), depths(count);
  for (int i = 0; i < count; ++i) sorted[i] = frequencies[used[i]];
  huffmanDepths(sorted.data(), count, depths.data());

  // Count leaves per length, folding deeper ones into maxBits, then restore the Kraft sum by
  // moving leaves down: each step takes one leaf off the longest length and splits a leaf of
  // a shorter length into two of the next length.
  uint32_t lengthCount[kMaxCodeBits + 2] = {};
  for (int i = 0; i < count; ++i) lengthCount[std::min<uint32_t>(depths[i], maxBits)]++;
  uint64_t kraft = 0;
  for (int len = 1; len <= maxBits; ++len) kraft += uint64_t(lengthCount[len]) << (maxBits - len);
  while (kraft > (1ull << maxBits)) {
    lengthCount[maxBits]--;
    for (int len = maxBits - 1; len >= 1; --len) {
      if (lengthCount[len] != 0) {
        lengthCount[len]--;
        lengthCount[len + 1] += 2;
        break;
      }
    }
    kraft--;
  }
  // The rarest symbols (front of `used`) get the longest codes.
  int index = 0;
  for (int len = maxBits; len >= 1; --len)
    for (uint32_t k = 0; k < lengthCount[len]; ++k) lengths[used[index++]] = static_cast<uint8_t>(len);
  return count;
}

void assignCanonicalCodes(const uint8_t* lengths, int n, uint16_t* codes) {
  uint32_t lengthCount[kMaxCodeBits + 1] = {};
  for (int s = 0; s < n; ++s) lengthCount[lengths[s]]++;
  uint32_t next[kMaxCodeBits + 2] = {};
  uint32_t code = 0;
  for (int len = 1; len <= kMaxCodeBits; ++len) {
    next[len] = code;
    code = (code + lengthCount[len]) << 1;
  }
  for (int s = 0; s < n; ++s)
    codes[s] = lengths[s] ? static_cast<uint16_t>(next[lengths[s]]++) : 0;
}

}  // namespace lzhpack
