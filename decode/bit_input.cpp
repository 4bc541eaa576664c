#include "decode/bit_input.h"

#include <algorithm>

#include "core/file_object.h"

PackedInput::PackedInput(FileObject* file, uint64_t packedSize, uint8_t* buffer, size_t capacity)
    : data_(buffer), size_(0), file_(file), buffer_(buffer), capacity_(capacity),
      fileRemaining_(packedSize) {
  refill();
}

bool PackedInput::refill() {
  if (file_ == nullptr || fileRemaining_ == 0 || readFailed_) return false;
  const size_t want = static_cast<size_t>(std::min<uint64_t>(fileRemaining_, capacity_));
  size_t got = 0;
  // FileObject::read takes 32-bit counts; read large buffers in pieces.
  while (got < want) {
    const uint32_t piece = static_cast<uint32_t>(std::min<size_t>(want - got, 1u << 30));
    const int32_t n = file_->read(piece, buffer_ + got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  // The header promised more packed bytes than the archive holds (or the read failed): the
  // member cannot be decoded as stored, whatever the CRC would say.
  if (got < want) readFailed_ = true;
  fileRemaining_ -= got;
  data_ = buffer_;
  size_ = got;
  return got > 0;
}

void BitInput::refillSlow() {
  while (available_ < kGuaranteedBits) {
    if (next_ == end_) {
      if (source_.refill()) {
        next_ = source_.data();
        end_ = next_ + source_.size();
        if (end_ - next_ >= 8) {
          refill();
          break;
        }
        continue;
      }
      // Past the packed data: the stream goes on with 0 bits, for a while.
      ++padBytes_;
      available_ += 8;
      continue;
    }
    bits_ |= static_cast<uint64_t>(*next_++) << (56 - available_);
    available_ += 8;
  }
  // A short read is damage at once, whatever bytes it still delivered.
  if (source_.readFailed() || consumedPastSlack()) failed_ = true;
}
