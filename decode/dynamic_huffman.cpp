#include "decode/dynamic_huffman.h"

#include <cstring>

// Every array index below comes from the trees themselves. Valid updates keep them in range
// whatever the input bits are; the checks only guard against a state no valid update makes,
// so that even then nothing outside the arrays is touched (the member fails as damaged).
// A function that checks returns a value, {} (0 or false) when it found the trees damaged.
#define TREE_CHECK(condition)      \
  do {                             \
    if (!(condition)) [[unlikely]] { \
      damaged_ = true;             \
      return {};                   \
    }                              \
  } while (0)

void AdaptiveTrees::startSymbolTree(unsigned symbolCount, unsigned maxMatch) {
  std::memset(nodeWeight_, 0, sizeof nodeWeight_);
  std::memset(childPair_, 0, sizeof childPair_);
  std::memset(parentOf_, 0, sizeof parentOf_);
  std::memset(groupOf_, 0, sizeof groupOf_);
  std::memset(groupLeader_, 0, sizeof groupLeader_);
  std::memset(spareGroups_, 0, sizeof spareGroups_);
  std::memset(leafOf_, 0, sizeof leafOf_);
  damaged_ = false;
  lastPositionNode_ = kPositionRoot;

  symbolCount_ = static_cast<int>(symbolCount);
  extendedCode_ = symbolCount >= maxMatch + 254 ? kNoExtension : symbolCount - 1;
  for (int i = 0; i < kPositionRoot; ++i) spareGroups_[i] = static_cast<uint16_t>(i);
  // Leaves of weight 1 in the highest slots, symbol 0 in the very last one; all in group 1.
  const int n = symbolCount_;
  for (int i = 0; i < n; ++i) {
    const int j = 2 * n - 2 - i;
    nodeWeight_[j] = 1;
    childPair_[j] = static_cast<int16_t>(~i);
    leafOf_[i] = static_cast<uint16_t>(j);
    groupOf_[j] = 1;
  }
  spareTop_ = 2;
  groupLeader_[1] = static_cast<uint16_t>(n - 1);
  // Internal nodes pair the slots from the bottom up.
  int i = 2 * n - 2;
  for (int j = n - 2; j >= 0; --j) {
    const uint16_t f = static_cast<uint16_t>(nodeWeight_[i] + nodeWeight_[i - 1]);
    nodeWeight_[j] = f;
    childPair_[j] = static_cast<int16_t>(i);
    parentOf_[i] = parentOf_[i - 1] = static_cast<uint16_t>(j);
    groupOf_[j] = f == nodeWeight_[j + 1] ? groupOf_[j + 1] : popGroup();
    groupLeader_[groupOf_[j]] = static_cast<uint16_t>(j);
    i -= 2;
  }
}

void AdaptiveTrees::startPositionTree(unsigned dictionaryBits) {
  nodeWeight_[kPositionRoot] = 1;
  childPair_[kPositionRoot] = static_cast<int16_t>(~kFirstPositionLeaf);
  leafOf_[kFirstPositionLeaf] = kPositionRoot;
  groupOf_[kPositionRoot] = popGroup();
  groupLeader_[groupOf_[kPositionRoot]] = kPositionRoot;
  positionTotal_ = 0;
  lastPositionNode_ = kPositionRoot;
  nextGrowth_ = 64;
  positionLimit_ = 1u << dictionaryBits;
}

uint16_t AdaptiveTrees::popGroup() {
  TREE_CHECK(spareTop_ < kSlots);
  return spareGroups_[spareTop_++];
}

bool AdaptiveTrees::pushGroup(uint16_t group) {
  TREE_CHECK(spareTop_ != 0);
  spareGroups_[--spareTop_] = group;
  return true;
}

// Increases the weight of node p by one, keeping slot order equal to weight order, and
// returns the parent slot of the node that was increased.
int AdaptiveTrees::bumpNode(int p) {
  TREE_CHECK(p > 0 && p < kSlots);
  const uint16_t b = groupOf_[p];
  const int q = groupLeader_[b];
  // A leader is never a root: roots outweigh every other node of their tree.
  TREE_CHECK(q > 0 && q != kPositionRoot && q <= p);
  bool leavesGroup;
  if (q != p) {
    // Exchange p's subtree with the group leader's, then increase the leader's slot.
    const int r = childPair_[p];
    const int s = childPair_[q];
    childPair_[p] = static_cast<int16_t>(s);
    childPair_[q] = static_cast<int16_t>(r);
    if (r >= 0) {
      TREE_CHECK(r >= 1 && r < kSlots);
      parentOf_[r] = parentOf_[r - 1] = static_cast<uint16_t>(q);
    } else {
      TREE_CHECK(~r < kLeafEntries);
      leafOf_[~r] = static_cast<uint16_t>(q);
    }
    if (s >= 0) {
      TREE_CHECK(s >= 1 && s < kSlots);
      parentOf_[s] = parentOf_[s - 1] = static_cast<uint16_t>(p);
    } else {
      TREE_CHECK(~s < kLeafEntries);
      leafOf_[~s] = static_cast<uint16_t>(p);
    }
    p = q;
    leavesGroup = true;
  } else {
    // The look at the next slot stays inside the tree: past its last slot no group goes on.
    leavesGroup = p + 1 < treeEnd(p) && groupOf_[p + 1] == b;
  }
  if (leavesGroup) {
    // p leaves the front of its group and joins the group before it or starts a new one.
    ++groupLeader_[b];
    ++nodeWeight_[p];
    if (nodeWeight_[p] == nodeWeight_[p - 1]) {
      groupOf_[p] = groupOf_[p - 1];
    } else {
      groupOf_[p] = popGroup();
      groupLeader_[groupOf_[p]] = static_cast<uint16_t>(p);
    }
  } else {
    // p is alone in its group: the group moves with it, or dissolves into the one before.
    ++nodeWeight_[p];
    if (nodeWeight_[p] == nodeWeight_[p - 1]) {
      pushGroup(b);
      groupOf_[p] = groupOf_[p - 1];
    }
  }
  return parentOf_[p];
}

bool AdaptiveTrees::updateSymbol(unsigned s) {
  if (nodeWeight_[0] == 0x8000) rebuildTree(0, 2 * symbolCount_ - 1);
  ++nodeWeight_[0];  // the root is never passed to bumpNode
  int q = leafOf_[s];
  // A path is never longer than the tree has slots; the bound only stops a broken tree.
  for (int steps = 0; q != 0 && !damaged_; ++steps) {
    TREE_CHECK(steps < kSlots);
    q = bumpNode(q);
  }
  return !damaged_;
}

bool AdaptiveTrees::updatePosition(unsigned p) {
  if (positionTotal_ == 0x8000) {
    rebuildTree(kPositionRoot, lastPositionNode_ + 1);
    positionTotal_ = nodeWeight_[kPositionRoot];
    nodeWeight_[kPositionRoot] = 0xFFFF;
  }
  int q = leafOf_[kFirstPositionLeaf + p];
  for (int steps = 0; q != kPositionRoot && !damaged_; ++steps) {
    TREE_CHECK(steps < kSlots);
    q = bumpNode(q);
  }
  ++positionTotal_;
  return !damaged_;
}

// Splits the lightest leaf (the last slot) into an internal node holding the old leaf and a
// new leaf of weight 0 for position symbol p, then counts one use of p.
bool AdaptiveTrees::addPositionLeaf(unsigned p) {
  const int last = lastPositionNode_;
  const int r = last + 1;
  const int q = r + 1;
  TREE_CHECK(q < kSlots && childPair_[last] < 0);
  childPair_[r] = childPair_[last];
  leafOf_[~childPair_[r]] = static_cast<uint16_t>(r);
  childPair_[q] = static_cast<int16_t>(~(kFirstPositionLeaf + static_cast<int>(p)));
  childPair_[last] = static_cast<int16_t>(q);
  nodeWeight_[r] = nodeWeight_[last];
  nodeWeight_[q] = 0;
  groupOf_[r] = groupOf_[last];
  if (last == kPositionRoot) {
    // The root stops being a leaf; its weight is pinned above every other node's so that
    // nothing ever joins its group.
    nodeWeight_[kPositionRoot] = 0xFFFF;
    ++groupLeader_[groupOf_[kPositionRoot]];
  }
  parentOf_[r] = parentOf_[q] = static_cast<uint16_t>(last);
  groupOf_[q] = popGroup();
  groupLeader_[groupOf_[q]] = static_cast<uint16_t>(q);
  leafOf_[kFirstPositionLeaf + p] = static_cast<uint16_t>(q);
  lastPositionNode_ = q;
  return updatePosition(p);
}

// Halves every leaf weight (rounding up) of the tree in slots first to end - 1 and rebuilds
// its shape: a new internal node goes after all nodes heavier than it and before those of
// equal or lower weight.
bool AdaptiveTrees::rebuildTree(int first, int end) {
  TREE_CHECK(first >= 0 && end <= kSlots && end - first >= 1);
  // Leaves move to the front in slot order; every group is released once, at its leader.
  int j = first;
  uint16_t b = 0;
  for (int i = first; i < end; ++i) {
    if (childPair_[i] < 0) {
      nodeWeight_[j] = static_cast<uint16_t>((nodeWeight_[i] + 1) / 2);
      childPair_[j] = childPair_[i];
      ++j;
    }
    b = groupOf_[i];
    if (groupLeader_[b] == i) pushGroup(b);
  }
  // From the back: leaves and new internal nodes merge in weight order.
  --j;
  int i = end - 1;
  int l = end - 2;
  while (i >= first) {
    while (i >= l) {
      TREE_CHECK(j >= first && i >= first);
      nodeWeight_[i] = nodeWeight_[j];
      childPair_[i] = childPair_[j];
      --i;
      --j;
    }
    const unsigned f = static_cast<unsigned>(nodeWeight_[l]) + nodeWeight_[l + 1];
    // Slots past j hold nothing left to place, so the scan stops there; it only decides
    // how many of the remaining leaves go behind the new node.
    int k = first;
    while (k <= j && f < nodeWeight_[k]) ++k;
    while (j >= k) {
      nodeWeight_[i] = nodeWeight_[j];
      childPair_[i] = childPair_[j];
      --i;
      --j;
    }
    TREE_CHECK(i >= first);
    nodeWeight_[i] = static_cast<uint16_t>(f);
    childPair_[i] = static_cast<int16_t>(l + 1);
    --i;
    l -= 2;
  }
  // Links back to parents and leaves, and fresh groups for each run of equal weight.
  unsigned f = 0;
  for (int s = first; s < end; ++s) {
    const int c = childPair_[s];
    if (c < 0) {
      TREE_CHECK(~c < kLeafEntries);
      leafOf_[~c] = static_cast<uint16_t>(s);
    } else {
      TREE_CHECK(c >= 1 && c < kSlots);
      parentOf_[c] = parentOf_[c - 1] = static_cast<uint16_t>(s);
    }
    if (nodeWeight_[s] == f) {
      groupOf_[s] = b;
    } else {
      b = popGroup();
      groupOf_[s] = b;
      groupLeader_[b] = static_cast<uint16_t>(s);
      f = nodeWeight_[s];
    }
  }
  return !damaged_;
}

int AdaptiveTrees::walk(BitInput& in, int root) {
  int c = childPair_[root];
  if (c <= 0) return c;
  // Bits are taken from a 32-bit look-ahead word and consumed once the leaf is reached.
  in.ensureBits();
  uint32_t word = in.peek(32);
  unsigned used = 0;
  for (int depth = 0; c > 0; ++depth) {
    if (depth >= kSlots || c >= kSlots) return 0;
    c = childPair_[c - static_cast<int>(word >> 31)];  // a 1 bit leads to slot c - 1
    word <<= 1;
    if (++used == 32) {
      in.skip(32);
      in.ensureBits();
      word = in.peek(32);
      used = 0;
    }
  }
  in.skip(used);
  return c;  // 0: a link that no valid tree holds
}

uint32_t AdaptiveTrees::nextSymbol(BitInput& in) {
  if (damaged_) return kDamagedValue;
  const int c = walk(in, 0);
  if (c == 0 || ~c >= symbolCount_) return kDamagedValue;
  uint32_t s = static_cast<uint32_t>(~c);
  updateSymbol(s);
  if (damaged_) return kDamagedValue;
  // The update comes before the extension bits are read.
  if (s == extendedCode_) s += in.takeChecked(8);
  return s;
}

// The tree gains position symbol n when the decoded count (without the current match) first
// exceeds 64 * n.
void AdaptiveTrees::growPositionTree(uint32_t decodedCount) {
  while (decodedCount > nextGrowth_ && !damaged_) {
    addPositionLeaf(nextGrowth_ / 64);
    nextGrowth_ += 64;
    if (nextGrowth_ >= positionLimit_) nextGrowth_ = 0xFFFFFFFFu;
  }
}

uint32_t AdaptiveTrees::nextPosition(BitInput& in, uint32_t decodedCount) {
  growPositionTree(decodedCount);
  if (damaged_) return kDamagedValue;
  // While the root is still the only leaf (position symbol 0), no code bits are read.
  const int c = walk(in, kPositionRoot);
  if (c == 0) return kDamagedValue;
  const int p = ~c - kFirstPositionLeaf;
  if (p < 0 || p >= kLeafEntries - kFirstPositionLeaf) return kDamagedValue;
  updatePosition(static_cast<unsigned>(p));
  if (damaged_) return kDamagedValue;
  return static_cast<uint32_t>(p) * 64 + in.takeChecked(6);
}

Lh1Codec::Lh1Codec() {
  tree_.startSymbolTree(314, 60);
  uint8_t lengths[64];
  buildFixedPositionLengths(FixedPositionRow::lh1, 64, lengths);
  positions_.setLengths(lengths, 64);
}
