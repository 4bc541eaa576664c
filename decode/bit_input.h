// Bit input of the LZH codecs: the member's packed bytes read most significant bit first.
//
// The reader keeps up to 64 bits in a word whose most significant bit is the next unread bit
// of the stream, and tops it up eight bytes at a time while the packed data lasts. After the
// last packed byte the stream continues with 0 bits, but only for kSlackBits: enough for the
// look-ahead of the last item of a valid stream. A member that needs more is asking for
// output its packed data does not hold (a header claiming gigabytes for a few bytes, or a
// download cut short), and fails instead of inventing bytes from nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "decode/byte_source.h"

// Where the packed bytes come from: normally one buffer holding the member's whole packed
// data; when memory is short, a smaller buffer that is refilled from the source.
class PackedInput {
 public:
  // The whole packed data is already in memory (tests, fuzzing, benchmarks).
  PackedInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  // Reads packedSize bytes from source through buffer (capacity bytes, owned by the caller).
  PackedInput(ByteSource* source, uint64_t packedSize, uint8_t* buffer, size_t capacity);

  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  // Replaces the buffer contents with the next bytes of the source. False when no bytes are
  // left; sets readFailed() when the source ends early or the read fails.
  bool refill();
  bool readFailed() const { return readFailed_; }

 private:
  const uint8_t* data_;
  size_t size_;
  ByteSource* source_ = nullptr;
  uint8_t* buffer_ = nullptr;
  size_t capacity_ = 0;
  uint64_t sourceRemaining_ = 0;
  bool readFailed_ = false;
};

class BitInput {
 public:
  // The codecs never consume more than this many bits between two calls of ensureBits(), so
  // one refill always covers a whole static-Huffman item (16 + 16 + 15 bits at most).
  static constexpr unsigned kGuaranteedBits = 56;
  // How many bits past the end of its packed data a member may consume (all of them 0):
  // 8 bytes' worth.
  static constexpr unsigned kSlackBits = 64;

  // The reader's state as plain values. The -lh4- to -lh7- hot loop copies it into locals
  // (save/restore), which keeps it in registers while at least 8 input bytes are left and
  // only the branch-free refill is needed.
  struct State {
    uint64_t bits = 0;       // unread bits, next bit in bit 63; bits below `available` are 0
                             // or copies of the stream bits that belong there
    unsigned available = 0;  // number of valid bits in `bits`
    const uint8_t* next = nullptr;
    const uint8_t* end = nullptr;

    // Needs 8 readable bytes at next. Loads eight bytes; the bytes that do not fit are loaded
    // again next time. OR-ing the same stream bits twice into place is harmless, which keeps
    // this branch-free.
    // Always inlined: built for size (-Os: the stub, zsfx.exe), GCC would call it out of the
    // hot loops, and the state would then live in memory instead of registers.
    [[gnu::always_inline]] void refill() {
      uint64_t word;
      std::memcpy(&word, next, 8);
      bits |= loadBigEndian(word) >> available;
      next += (63 - available) >> 3;
      available |= 56;
    }
    // The next n bits (1 <= n <= 32) without consuming them. These steps are always inlined
    // too, for the same reason, whatever the inliner's settings of the build.
    [[gnu::always_inline]] uint32_t peek(unsigned n) const { return static_cast<uint32_t>(bits >> (64 - n)); }
    [[gnu::always_inline]] void skip(unsigned n) {
      bits <<= n;
      available -= n;
    }
    // n bits (0 <= n <= 16) as an unsigned value. Needs n bits available.
    [[gnu::always_inline]] uint32_t take(unsigned n) {
      uint32_t value = n == 0 ? 0 : peek(n);
      skip(n);
      return value;
    }
  };

  explicit BitInput(PackedInput& source) : source_(source) {
    state_.next = source.data();
    state_.end = state_.next + source.size();
    refill();
    if (source.readFailed()) failed_ = true;
  }

  // Makes at least kGuaranteedBits bits available.
  void refill() {
    if (state_.end - state_.next >= 8) [[likely]] {
      state_.refill();
    } else {
      refillSlow();
    }
  }
  void ensureBits() {
    if (state_.available < kGuaranteedBits) refill();
  }

  uint32_t peek(unsigned n) const { return state_.peek(n); }
  // The next 16 bits as the 16-bit look-ahead word of the format's description.
  uint32_t peek16() const { return state_.peek(16); }
  void skip(unsigned n) { state_.skip(n); }
  uint32_t take(unsigned n) { return state_.take(n); }
  // take() that refills first; for the slow, bit-serial parts of the format.
  uint32_t takeChecked(unsigned n) {
    if (state_.available < 32) refill();
    return state_.take(n);
  }
  unsigned available() const { return state_.available; }

  // True once the member cannot be decoded from what it holds: the archive ended inside the
  // packed data, or a refill found more than kSlackBits consumed past its end. Cheap enough
  // to test after every item; the refill that finds it comes at most kGuaranteedBits later.
  bool failed() const { return failed_; }
  // The exact test for the end of a member: more than kSlackBits consumed past the packed
  // data (the 0 bytes appended and not yet consumed still sit in the word).
  bool consumedPastSlack() const {
    return uint64_t{padBytes_} * 8 > uint64_t{state_.available} + kSlackBits;
  }

  State save() const { return state_; }
  void restore(const State& s) { state_ = s; }

 private:
  static uint64_t loadBigEndian(uint64_t word) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return word;
#elif defined(__GNUC__) || defined(__clang__)
    return __builtin_bswap64(word);
#else
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = (v << 8) | ((word >> (8 * i)) & 0xFF);
    return v;
#endif
  }
  void refillSlow();

  PackedInput& source_;
  State state_;
  uint32_t padBytes_ = 0;  // 0 bytes appended after the packed data
  bool failed_ = false;
};
