// Bits in the order the LZH decoders read them: most significant bit of each field first,
// filling every byte from its top bit.
#pragma once

#include <cstdint>
#include <vector>

namespace lzhpack {

class BitWriter {
 public:
  // Appends to out; call flush() before using out.
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out), used_(out.size()) {}

  // Appends the low `count` bits of value (count 0 to 24).
  void put(int count, uint32_t value) {
    accumulator_ = (accumulator_ << count) | (value & ((1u << count) - 1));
    pending_ += count;
    if (pending_ >= 32) {
      // Four whole bytes at a time; the vector is grown ahead so this is a plain store.
      pending_ -= 32;
      const uint32_t word = static_cast<uint32_t>(accumulator_ >> pending_);
      if (used_ + 4 > out_.size()) grow();
      uint8_t* p = out_.data() + used_;
      p[0] = static_cast<uint8_t>(word >> 24);
      p[1] = static_cast<uint8_t>(word >> 16);
      p[2] = static_cast<uint8_t>(word >> 8);
      p[3] = static_cast<uint8_t>(word);
      used_ += 4;
    }
  }

  // Writes out the pending bits, the last byte padded with zero bits (the decoder reads
  // zeros past the end anyway), and trims out to the bytes written.
  void flush() {
    if (pending_ % 8 != 0) put(8 - pending_ % 8, 0);
    out_.resize(used_);
    while (pending_ > 0) {
      pending_ -= 8;
      out_.push_back(static_cast<uint8_t>(accumulator_ >> pending_));
    }
    used_ = out_.size();
  }

  uint64_t bitsWritten() const { return used_ * 8ull + pending_; }

 private:
  void grow() {
    size_t size = out_.size() * 2;
    if (size < 64) size = 64;
    if (size < out_.capacity()) size = out_.capacity();  // room reserved by the caller
    out_.resize(size);
  }

  std::vector<uint8_t>& out_;
  size_t used_;                // bytes of out_ that hold output; the rest is room
  uint64_t accumulator_ = 0;  // only the low `pending_` bits are still unwritten
  int pending_ = 0;           // below 32 between calls
};

}  // namespace lzhpack
