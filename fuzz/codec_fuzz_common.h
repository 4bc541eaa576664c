// Shared body of the codec fuzz targets. Input layout: one byte choosing the method among
// the target's methods, three bytes of original size (little-endian, reduced modulo the
// target's cap so that a run stays fast), then the packed data.
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

inline int run(const uint8_t* data, size_t size, const int* methods, size_t methodCount, uint32_t maxOriginalSize) {
  if (size < 4) return 0;
  const int method = methods[data[0] % methodCount];
  const uint32_t originalSize = (data[1] | (data[2] << 8) | (data[3] << 16)) % (maxOriginalSize + 1);
  PackedInput input(data + 4, size - 4);
  CountingSink sink;
  const DecodeResult result = decodeMethod(method, input, originalSize, sink);
  // Never more output than the member's size; all of it unless the data was damaged.
  if (sink.written() > originalSize) std::abort();
  if (result.status == DecodeStatus::ok && sink.written() != originalSize) std::abort();
  return 0;
}

}  // namespace codec_fuzz
