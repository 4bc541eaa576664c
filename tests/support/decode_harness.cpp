#include "support/decode_harness.h"

#include "decode/lz_decoder.h"

namespace {

struct CollectingSink : DecodeSink {
  std::vector<uint8_t> bytes;
  bool write(const uint8_t* data, size_t count) override {
    bytes.insert(bytes.end(), data, data + count);
    return true;
  }
};

}  // namespace

DecodedMember decodeInMemory(int method, const std::vector<uint8_t>& packed, uint32_t originalSize) {
  PackedInput input(packed.data(), packed.size());
  CollectingSink sink;
  const DecodeResult result = decodeMethod(method, input, originalSize, sink);
  return DecodedMember{result.status, result.crc, std::move(sink.bytes)};
}

std::string bytesAsText(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }
