// Binary-tree match finder for the best level: all positions with the same 4-byte hash form
// a binary search tree ordered by the bytes that follow them, rebuilt at every position so
// that the newest position is the root. One descent visits the candidates in order of
// their agreement with the current bytes, which finds every length's nearest match with far
// fewer comparisons than a hash chain of the same depth.
#pragma once

#include <cstdint>
#include <vector>

#include "pack/match_finder.h"

namespace lzhpack {

class TreeMatchFinder {
 public:
  // Distances up to 2^windowBits. Child slots are kept for two windows of positions, so the
  // node one whole window back does not share its slots with the node being inserted.
  TreeMatchFinder(const uint8_t* data, uint32_t size, int windowBits)
      : data_(data),
        size_(size),
        window_(1u << windowBits),
        slotMask_(2 * window_ - 1),
        bias_(window_ + 1),
        head4_(size_t(1) << kHash4Bits, 0),
        head3_(size_t(1) << kHash3Bits, 0),
        children_(size_t(4) << windowBits, 0) {}

  // Appends the nearest match of every length that grows on the way down (shortest first)
  // and inserts pos. With record false only inserts pos. Returns the number appended.
  uint32_t advance(uint32_t pos, uint32_t depth, uint32_t niceLength, bool record, std::vector<Match>& out) {
    const uint32_t remaining = size_ - pos;
    if (remaining < 4) return 0;
    const uint32_t limit = remaining < kMaxMatch ? remaining : kMaxMatch;
    const uint32_t nice = niceLength < limit ? niceLength : limit;
    const uint8_t* cur = data_ + pos;
    const uint32_t first4 = load32(cur);
    const uint32_t h4 = hash4(first4, kHash4Bits);
    const uint32_t h3 = hash3(first4);
    const uint32_t biased = pos + bias_;
    const size_t before = out.size();

    if (record) {
      const uint32_t distance3 = biased - head3_[h3];
      if (distance3 <= window_ && (load32(cur - distance3) & 0xFFFFFF) == (first4 & 0xFFFFFF))
        out.push_back({kMinMatch, distance3});
    }
    head3_[h3] = biased;

    uint32_t node = head4_[h4];
    head4_[h4] = biased;
    uint32_t* pendingLess = &children_[2 * (pos & slotMask_)];
    uint32_t* pendingGreater = pendingLess + 1;
    uint32_t lessLength = 0, greaterLength = 0;
    uint32_t length = 0;  // bytes known equal for the current node: min of the two bounds
    uint32_t bestLength = kMinMatch;
    while (true) {
      const uint32_t distance = biased - node;
      if (distance > window_ || depth-- == 0) {
        *pendingLess = 0;
        *pendingGreater = 0;
        break;
      }
      const uint8_t* candidate = cur - distance;
      uint32_t* nodeChildren = &children_[2 * ((node - bias_) & slotMask_)];
      if (candidate[length] == cur[length]) {
        length = matchLength(cur, candidate, limit);
        if (record && length > bestLength) {
          bestLength = length;
          out.push_back({length, distance});
        }
        if (length >= nice) {
          // Equal as far as the tree looks: the node is replaced by pos, which takes over
          // its subtrees.
          *pendingLess = nodeChildren[0];
          *pendingGreater = nodeChildren[1];
          break;
        }
      }
      if (candidate[length] < cur[length]) {
        *pendingLess = node;
        pendingLess = &nodeChildren[1];
        node = *pendingLess;
        lessLength = length;
        if (greaterLength < length) length = greaterLength;
      } else {
        *pendingGreater = node;
        pendingGreater = &nodeChildren[0];
        node = *pendingGreater;
        greaterLength = length;
        if (lessLength < length) length = lessLength;
      }
    }
    // A nearer longer match also serves length 3 more cheaply than the 3-byte candidate.
    if (out.size() - before >= 2 && out[before].length == kMinMatch && out[before + 1].distance <= out[before].distance)
      out.erase(out.begin() + static_cast<std::ptrdiff_t>(before));
    return static_cast<uint32_t>(out.size() - before);
  }

 private:
  static constexpr int kHash4Bits = 16;

  const uint8_t* data_;
  uint32_t size_;
  uint32_t window_;
  uint32_t slotMask_;
  uint32_t bias_;
  std::vector<uint32_t> head4_;
  std::vector<uint32_t> head3_;
  std::vector<uint32_t> children_;  // [2 * slot]: subtree of smaller suffixes, [2 * slot + 1]: larger
};

}  // namespace lzhpack
