// Dynamic-Huffman methods -lh1- and -lh2-: literals and match lengths are coded with an
// adaptive Huffman tree that encoder and decoder update identically after every symbol, so
// no code is stored. The decoder must reproduce every update and tie-break of the encoder's
// tree exactly, or the codes drift apart; the slot layout below is therefore part of the
// format, not a choice of this implementation.
//
// Slots 0-627 hold the symbol tree (root in slot 0), slots 628-883 the position tree of -lh2-
// (root in slot 628). Within a tree, slot order is weight order (heaviest first). An internal
// node's childPair is the slot i of its children: a 0 bit leads to slot i, a 1 bit to i - 1.
// A leaf's childPair is the one's complement of its symbol. Runs of equal weight form groups
// whose leader is the group's lowest slot, so keeping the weight order when a weight grows is
// one exchange with the leader.
//
// -lh1-: 4096-byte window, 314 symbols (lengths 3 to 60), positions with the fixed -lh1- code
//        and six raw bits.
// -lh2-: 8192-byte window, 286 symbols, symbol 285 followed by eight raw bits (lengths 32 to
//        287), positions with a second adaptive tree that gains one symbol per 64 bytes
//        decoded, followed by six raw bits.
#pragma once

#include <cstdint>

#include "decode/bit_input.h"
#include "decode/decode_status.h"
#include "decode/static_huffman.h"

class AdaptiveTrees {
 public:
  static constexpr int kSlots = 884;
  static constexpr int kPositionRoot = 628;
  static constexpr int kLeafEntries = 442;  // 314 symbols + 128 position symbols
  static constexpr int kFirstPositionLeaf = 314;
  static constexpr uint32_t kNoExtension = 512;

  // Resets every array (each member starts from the same state) and builds the symbol tree
  // of symbolCount leaves of weight 1; with a position limit, also the position tree.
  void startSymbolTree(unsigned symbolCount, unsigned maxMatch);
  void startPositionTree(unsigned dictionaryBits);

  uint32_t nextSymbol(BitInput& in);
  uint32_t nextPosition(BitInput& in, uint32_t decodedCount);
  bool damaged() const { return damaged_; }

  // The tree updates and the slots as the format defines them, for the decoder above and
  // for tests that check the trees' invariants or encode against them. False when the trees
  // turned out damaged.
  bool updateSymbol(unsigned s);
  bool updatePosition(unsigned p);
  // Adds the position symbols due once decodedCount bytes were produced.
  void growPositionTree(uint32_t decodedCount);
  uint16_t weight(int slot) const { return nodeWeight_[slot]; }
  int childPair(int slot) const { return childPair_[slot]; }
  int parent(int slot) const { return parentOf_[slot]; }
  int group(int slot) const { return groupOf_[slot]; }
  int groupLeader(int group) const { return groupLeader_[group]; }
  int leafSlot(unsigned leafIndex) const { return leafOf_[leafIndex]; }
  int lastPositionSlot() const { return lastPositionNode_; }

 private:
  int bumpNode(int p);
  bool addPositionLeaf(unsigned p);
  bool rebuildTree(int first, int end);
  // Follows the tree from root's children with one stream bit per level; the leaf's value.
  int walk(BitInput& in, int root);
  uint16_t popGroup();
  bool pushGroup(uint16_t group);
  // One past the highest slot in use of the tree that holds slot p.
  int treeEnd(int p) const { return p < kPositionRoot ? 2 * symbolCount_ - 1 : lastPositionNode_ + 1; }

  uint16_t nodeWeight_[kSlots];
  int16_t childPair_[kSlots];
  uint16_t parentOf_[kSlots];
  uint16_t groupOf_[kSlots];
  uint16_t groupLeader_[kSlots];
  uint16_t spareGroups_[kSlots];
  uint16_t leafOf_[kLeafEntries];
  uint32_t spareTop_ = 0;
  int symbolCount_ = 0;
  uint32_t extendedCode_ = kNoExtension;
  uint16_t positionTotal_ = 0;
  int lastPositionNode_ = kPositionRoot;
  uint32_t positionLimit_ = 0;
  uint32_t nextGrowth_ = 0;
  bool damaged_ = false;
};

class Lh1Codec {
 public:
  static constexpr uint32_t kLengthBias = 253;
  static constexpr uint32_t kMaxMatch = 60;

  Lh1Codec();
  uint32_t nextSymbol(BitInput& in) { return tree_.nextSymbol(in); }
  uint32_t nextPosition(BitInput& in, uint32_t /*decodedCount*/) {
    in.ensureBits();
    return positions_.next(in);
  }

 private:
  AdaptiveTrees tree_;
  Low6PositionDecoder positions_;
};

class Lh2Codec {
 public:
  static constexpr uint32_t kLengthBias = 253;
  static constexpr uint32_t kMaxMatch = 287;

  Lh2Codec() {
    tree_.startSymbolTree(286, 256);
    tree_.startPositionTree(13);
  }
  uint32_t nextSymbol(BitInput& in) { return tree_.nextSymbol(in); }
  uint32_t nextPosition(BitInput& in, uint32_t decodedCount) { return tree_.nextPosition(in, decodedCount); }

 private:
  AdaptiveTrees tree_;
};
