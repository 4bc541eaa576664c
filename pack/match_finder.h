// Hash-chain match finder over a whole member held in memory.
//
// Chains link positions with the same 4-byte hash; a second, chainless table remembers the
// last position of each 3-byte hash, because 3-byte matches pay only at short distances.
// Stored positions are offset by the window size plus one, so that an empty slot (0) always
// lies beyond the window and ends a chain without a separate test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "pack/block_writer.h"

namespace lzhpack {

struct Match {
  uint32_t length = 0;  // 0: none
  uint32_t distance = 0;
};

inline uint32_t load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline uint64_t load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// Number of equal bytes at a and b, at most limit.
inline uint32_t matchLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
  uint32_t len = 0;
  while (len + 8 <= limit) {
    uint64_t diff = load64(a + len) ^ load64(b + len);
    if (diff != 0) return len + (__builtin_ctzll(diff) >> 3);
    len += 8;
  }
  while (len < limit && a[len] == b[len]) ++len;
  return len;
}

// Multiplicative hashes of the first four and the first three bytes at a position (first4
// holds the four bytes), keeping the top bits. Both match finders index their heads with them.
inline constexpr int kHash3Bits = 14;
inline uint32_t hash4(uint32_t first4, int bits) { return (first4 * 0x1E35A7BDu) >> (32 - bits); }
inline uint32_t hash3(uint32_t first4) { return ((first4 & 0xFFFFFF) * 0x9E3779B1u) >> (32 - kHash3Bits); }

// Worth of a match for choosing among candidates: a byte of length is worth about a literal
// (taken as kLiteralWorth bits), each bit of distance costs one raw bit.
inline constexpr int kLiteralWorth = 6;  // 4 to 8 measured within 0.05%; 6 best
inline int matchScore(uint32_t length, uint32_t distance) {
  return int(length) * kLiteralWorth - (32 - __builtin_clz(distance));
}

class MatchFinder {
 public:
  // Distances up to 2^windowBits (the decoder's window holds exactly that many bytes, and
  // reading the byte one window back happens before the copy overwrites it).
  MatchFinder(const uint8_t* data, uint32_t size, int windowBits)
      : data_(data),
        size_(size),
        window_(1u << windowBits),
        mask_(window_ - 1),
        bias_(window_ + 1),
        // 2^15 heads measured as good as 2^16 for -lh7- and faster (fewer cache misses).
        hashBits_(windowBits + 1 > 15 ? 15 : windowBits + 1),
        head4_(size_t(1) << hashBits_, 0),
        head3_(size_t(1) << kHash3Bits, 0),
        prev_(window_, 0) {}

  // Longest match at pos within the chain budget (a length of at least kMinMatch, or none),
  // then records pos. Positions must be visited in increasing order, each at most once,
  // through find or insert.
  Match find(uint32_t pos, uint32_t chainDepth, uint32_t niceLength, uint32_t maxShortDistance) {
    Match best;
    const uint32_t remaining = size_ - pos;
    if (remaining < 4) return best;
    const uint32_t limit = remaining < kMaxMatch ? remaining : kMaxMatch;
    const uint8_t* cur = data_ + pos;
    const uint32_t first4 = load32(cur);
    const uint32_t h4 = hash4(first4, hashBits_);
    const uint32_t h3 = hash3(first4);
    const uint32_t biased = pos + bias_;

    uint32_t stored = head4_[h4];
    uint32_t probeLength = kMinMatch;  // a candidate must be longer than this to be measured
    int bestScore = 0;
    while (chainDepth-- != 0) {
      const uint32_t distance = biased - stored;
      if (distance > window_) break;
      const uint8_t* candidate = cur - distance;
      if (candidate[probeLength] == cur[probeLength] && load32(candidate) == first4) {
        const uint32_t length = matchLength(cur, candidate, limit);
        if (length > probeLength) {
          probeLength = length;
          // Candidates come nearest first; a longer one far away can cost more raw position
          // bits than its extra bytes save.
          const int score = matchScore(length, distance);
          if (score > bestScore) {
            bestScore = score;
            best = {length, distance};
          }
          if (length >= niceLength || length == limit) break;
        }
      }
      stored = prev_[(stored - bias_) & mask_];
    }
    if (best.length == 0) {
      const uint32_t distance = biased - head3_[h3];
      if (distance <= maxShortDistance && (load32(cur - distance) & 0xFFFFFF) == (first4 & 0xFFFFFF))
        best = {kMinMatch, distance};
    }
    record(pos, h4, h3);
    return best;
  }

  void insert(uint32_t pos) {
    if (size_ - pos < 4) return;
    const uint32_t first4 = load32(data_ + pos);
    record(pos, hash4(first4, hashBits_), hash3(first4));
  }

 private:
  void record(uint32_t pos, uint32_t h4, uint32_t h3) {
    const uint32_t biased = pos + bias_;
    prev_[pos & mask_] = head4_[h4];
    head4_[h4] = biased;
    head3_[h3] = biased;
  }

  const uint8_t* data_;
  uint32_t size_;
  uint32_t window_;
  uint32_t mask_;
  uint32_t bias_;
  int hashBits_;
  std::vector<uint32_t> head4_;
  std::vector<uint32_t> head3_;
  std::vector<uint32_t> prev_;
};

}  // namespace lzhpack
