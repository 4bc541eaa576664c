// decodeFromSource: a compressed member whose packed bytes come from a byte source. Reads
// them into memory (in one read when memory allows), then decodes.
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <new>

#include "decode/lz_decoder.h"
#include "platform/platform.h"

namespace {

// Packed data larger than this is never held whole: it is read through a buffer of this
// size, refilled as decoding goes. The packed size is only what a header claims: a damaged
// or hostile header of a few bytes must not make the run allocate gigabytes.
constexpr uint64_t kLargeMemberBuffer = uint64_t{64} << 20;

// The whole packed data up to 64 MiB, unless the available physical memory is smaller; then
// a buffer of that size refilled as decoding goes, or 16 KiB when even that cannot be had.
std::unique_ptr<uint8_t[]> allocateInputBuffer(uint64_t packedSize, size_t& size) {
  uint64_t wanted = packedSize == 0 ? 1 : packedSize;
  if (wanted > kLargeMemberBuffer) wanted = kLargeMemberBuffer;
  const uint64_t available = platform::availablePhysicalMemory();
  if (available != 0 && available < (uint64_t{1} << 32) && available < wanted) wanted = available;
  size = static_cast<size_t>(wanted);
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size]);
  if (!buffer) {
    size = 16384;
    buffer.reset(new (std::nothrow) uint8_t[size]);
  }
  // Nothing can be decoded without an input buffer: end like a failed window allocation.
  if (!buffer) std::exit(ENOMEM);
  return buffer;
}

}  // namespace

DecodeResult decodeFromSource(int methodNumber, ByteSource& source, uint64_t packedSize, uint64_t originalSize,
                              DecodeSink& sink) {
  size_t bufferSize = 0;
  std::unique_ptr<uint8_t[]> buffer = allocateInputBuffer(packedSize, bufferSize);
  PackedInput input(&source, packedSize, buffer.get(), bufferSize);
  return decodeMethod(methodNumber, input, originalSize, sink);
}
