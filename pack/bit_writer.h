// Bits in the order the LZH decoders read them: most significant bit of each field first,
// filling every byte from its top bit.
#pragma once

#include <cstdint>
#include <vector>

namespace lzhpack {

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}

  // Appends the low `count` bits of value (count 0 to 24).
  void put(int count, uint32_t value) {
    accumulator_ = (accumulator_ << count) | (value & ((1u << count) - 1));
    pending_ += count;
    while (pending_ >= 8) {
      pending_ -= 8;
      out_.push_back(static_cast<uint8_t>(accumulator_ >> pending_));
    }
  }

  // Pads the last byte with zero bits (the decoder reads zeros past the end anyway).
  void flush() {
    if (pending_ > 0) put(8 - pending_, 0);
  }

  uint64_t bitsWritten() const { return out_.size() * 8ull + pending_; }

 private:
  std::vector<uint8_t>& out_;
  uint64_t accumulator_ = 0;  // only the low `pending_` bits are still unwritten
  int pending_ = 0;
};

}  // namespace lzhpack
