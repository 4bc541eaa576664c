// Shared body of the codec fuzz targets. Input layout: one byte choosing the method among
// the target's methods, one byte choosing a size class k (0 to the target's cap bits), a
// 24-bit little-endian value v, then the packed data. The original size is v scaled to
// [0, 2^k): (v << k) >> 24. Sizes are thus spread evenly over the powers of two rather than
// over the bytes, so that most inputs ask for a few KiB and run fast, while the largest
// sizes (a rebuild of the adaptive trees, 65536-symbol blocks) stay one byte away.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "decode/lz_decoder.h"

namespace codec_fuzz {

class CountingSink : public DecodeSink {
 public:
  bool write(const uint8_t* bytes, size_t count) override {
    // Touch every byte so that the sanitizers see reads of the flushed window.
    for (size_t i = 0; i < count; ++i) checksum_ += bytes[i];
    written_ += count;
    return true;
  }
  uint64_t written() const { return written_; }

 private:
  uint64_t written_ = 0;
  uint32_t checksum_ = 0;
};

inline int run(const uint8_t* data, size_t size, const int* methods, size_t methodCount, unsigned capBits) {
  if (size < 5) return 0;
  const int method = methods[data[0] % methodCount];
  const unsigned sizeClass = data[1] % (capBits + 1);
  const uint64_t value = data[2] | (data[3] << 8u) | (data[4] << 16u);
  const uint32_t originalSize = static_cast<uint32_t>((value << sizeClass) >> 24);
  PackedInput input(data + 5, size - 5);
  CountingSink sink;
  const DecodeResult result = decodeMethod(method, input, originalSize, sink);
  // Never more output than the member's size; all of it unless the data was damaged.
  if (sink.written() > originalSize) std::abort();
  if (result.status == DecodeStatus::ok && sink.written() != originalSize) std::abort();
  return 0;
}

}  // namespace codec_fuzz
