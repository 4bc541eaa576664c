// Bit input of the LZH codecs: the member's packed bytes read most significant bit first.
//
// The reader keeps up to 64 bits in a word whose most significant bit is the next unread bit
// of the stream, and tops it up eight bytes at a time while the packed data lasts. After the
// last packed byte the stream continues with 0 bits for as long as a codec asks: a damaged or
// short member then decodes to wrong bytes (caught by the CRC) instead of reading further.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class FileObject;

// Where the packed bytes come from: normally one buffer holding the member's whole packed
// data; when memory is short, a smaller buffer that is refilled from the archive file.
class PackedInput {
 public:
  // The whole packed data is already in memory (tests, fuzzing, benchmarks).
  PackedInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  // Reads packedSize bytes from file through buffer (capacity bytes, owned by the caller).
  PackedInput(FileObject* file, uint64_t packedSize, uint8_t* buffer, size_t capacity);

  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  // Replaces the buffer contents with the next bytes of the file. False when no bytes are
  // left; sets readFailed() when the archive ends early or the read fails.
  bool refill();
  bool readFailed() const { return readFailed_; }

 private:
  const uint8_t* data_;
  size_t size_;
  FileObject* file_ = nullptr;
  uint8_t* buffer_ = nullptr;
  size_t capacity_ = 0;
  uint64_t fileRemaining_ = 0;
  bool readFailed_ = false;
};

class BitInput {
 public:
  // The codecs never consume more than this many bits between two calls of ensureBits(), so
  // one refill always covers a whole static-Huffman item (16 + 16 + 15 bits at most).
  static constexpr unsigned kGuaranteedBits = 56;

  explicit BitInput(PackedInput& source) : source_(source) {
    next_ = source.data();
    end_ = next_ + source.size();
    refill();
  }

  // Makes at least kGuaranteedBits bits available.
  void refill() {
    if (end_ - next_ >= 8) [[likely]] {
      // Load eight bytes; the bytes that do not fit are loaded again next time. OR-ing the
      // same stream bits twice into place is harmless, which keeps this branch-free.
      uint64_t word;
      std::memcpy(&word, next_, 8);
      bits_ |= loadBigEndian(word) >> available_;
      next_ += (63 - available_) >> 3;
      available_ |= 56;
    } else {
      refillSlow();
    }
  }
  void ensureBits() {
    if (available_ < kGuaranteedBits) refill();
  }

  // The next n bits (1 <= n <= 32) without consuming them.
  uint32_t peek(unsigned n) const { return static_cast<uint32_t>(bits_ >> (64 - n)); }
  // The next 16 bits as the 16-bit look-ahead word of the format's description.
  uint32_t peek16() const { return peek(16); }
  void skip(unsigned n) {
    bits_ <<= n;
    available_ -= n;
  }
  // n bits (0 <= n <= 16) as an unsigned value. Needs n bits available.
  uint32_t take(unsigned n) {
    uint32_t value = n == 0 ? 0 : peek(n);
    skip(n);
    return value;
  }
  // take() that refills first; for the slow, bit-serial parts of the format.
  uint32_t takeChecked(unsigned n) {
    if (available_ < 32) refill();
    return take(n);
  }
  unsigned available() const { return available_; }
  bool sourceFailed() const { return source_.readFailed(); }

  // The reader's state as plain values, for hot loops that keep it in registers while at
  // least 8 input bytes are left (so that only the branch-free refill is needed).
  struct State {
    uint64_t bits;
    unsigned available;
    const uint8_t* next;
    const uint8_t* end;

    // Always inlined: built for size (-Os: the stub, zsfx.exe), GCC would call it out of the
    // hot loops, and the state would then live in memory instead of registers.
    [[gnu::always_inline]] void refill() {
      uint64_t word;
      std::memcpy(&word, next, 8);
      bits |= loadBigEndian(word) >> available;
      next += (63 - available) >> 3;
      available |= 56;
    }
    uint32_t peek(unsigned n) const { return static_cast<uint32_t>(bits >> (64 - n)); }
    void skip(unsigned n) {
      bits <<= n;
      available -= n;
    }
    uint32_t take(unsigned n) {
      uint32_t value = n == 0 ? 0 : peek(n);
      skip(n);
      return value;
    }
  };
  State save() const { return State{bits_, available_, next_, end_}; }
  void restore(const State& s) {
    bits_ = s.bits;
    available_ = s.available;
    next_ = s.next;
  }

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
  const uint8_t* next_;
  const uint8_t* end_;
  uint64_t bits_ = 0;       // unread bits, next bit in bit 63; bits below available_ are 0 or
                            // copies of the stream bits that belong there
  unsigned available_ = 0;  // number of valid bits in bits_
};
