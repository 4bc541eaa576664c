#include "decode/bit_input.h"

#include <algorithm>

PackedInput::PackedInput(ByteSource* source, uint64_t packedSize, uint8_t* buffer, size_t capacity)
    : data_(buffer), size_(0), source_(source), buffer_(buffer), capacity_(capacity),
      sourceRemaining_(packedSize) {
  refill();
}

bool PackedInput::refill() {
  if (source_ == nullptr || sourceRemaining_ == 0 || readFailed_) return false;
  const size_t want = static_cast<size_t>(std::min<uint64_t>(sourceRemaining_, capacity_));
  size_t got = 0;
  while (got < want) {
    const int64_t n = source_->read(buffer_ + got, want - got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  // The header promised more packed bytes than the archive holds (or the read failed): the
  // member cannot be decoded as stored, whatever the CRC would say.
  if (got < want) readFailed_ = true;
  sourceRemaining_ -= got;
  data_ = buffer_;
  size_ = got;
  return got > 0;
}

void BitInput::refillSlow() {
  State& s = state_;
  while (s.available < kGuaranteedBits) {
    if (s.next == s.end) {
      if (source_.refill()) {
        s.next = source_.data();
        s.end = s.next + source_.size();
        if (s.end - s.next >= 8) {
          s.refill();
          break;
        }
        continue;
      }
      // Past the packed data: the stream goes on with 0 bits, for a while.
      ++padBytes_;
      s.available += 8;
      continue;
    }
    s.bits |= static_cast<uint64_t>(*s.next++) << (56 - s.available);
    s.available += 8;
  }
  // A short read is damage at once, whatever bytes it still delivered.
  if (source_.readFailed() || consumedPastSlack()) failed_ = true;
}
