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

// Joins bit streams that end inside a byte into one, as if one BitWriter had written them.
class BitJoiner {
 public:
  // Appends the first bitCount bits of bytes (most significant bit of each byte first).
  void append(const uint8_t* bytes, uint64_t bitCount) {
    const size_t whole = static_cast<size_t>(bitCount / 8);
    if (pending_ == 0) {
      out_.insert(out_.end(), bytes, bytes + whole);
    } else {
      for (size_t i = 0; i < whole; ++i) {
        out_.push_back(static_cast<uint8_t>(partial_ | (bytes[i] >> pending_)));
        partial_ = static_cast<uint8_t>(bytes[i] << (8 - pending_));
      }
    }
    const int rest = static_cast<int>(bitCount % 8);
    if (rest == 0) return;
    const uint8_t top = static_cast<uint8_t>(bytes[whole] & (0xFF00 >> rest));
    if (pending_ + rest >= 8) {
      out_.push_back(static_cast<uint8_t>(partial_ | (top >> pending_)));
      partial_ = static_cast<uint8_t>(top << (8 - pending_));
      pending_ += rest - 8;
    } else {
      partial_ |= static_cast<uint8_t>(top >> pending_);
      pending_ += rest;
    }
  }

  // Pads the last byte with zero bits, as BitWriter::flush does.
  void finish() {
    if (pending_ != 0) out_.push_back(partial_);
    partial_ = 0;
    pending_ = 0;
  }

  // The whole bytes joined so far; the caller may take them (and clear the vector) at any time.
  std::vector<uint8_t>& bytes() { return out_; }

 private:
  std::vector<uint8_t> out_;
  uint8_t partial_ = 0;  // the top `pending_` bits are joined bits not yet in out_
  int pending_ = 0;      // 0 to 7
};

}  // namespace lzhpack
