// decodeFromSource: a member whose packed bytes come from a byte source. Stored members are
// copied through a small buffer; compressed ones are read into memory (in one read when
// memory allows), then decoded.
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <new>

#include "decode/crc16.h"
#include "decode/lz_decoder.h"

namespace {

// Packed data larger than this is never held whole: it is read through a buffer of this
// size, refilled as decoding goes. The packed size is only what a header claims: a damaged
// or hostile header of a few bytes must not make the run allocate gigabytes.
constexpr uint64_t kLargeMemberBuffer = uint64_t{64} << 20;

// The whole packed data up to 64 MiB, unless the available physical memory is smaller; then
// a buffer of that size refilled as decoding goes, or 16 KiB when even that cannot be had.
std::unique_ptr<uint8_t[]> allocateInputBuffer(uint64_t packedSize, uint64_t available, size_t& size) {
  uint64_t wanted = packedSize == 0 ? 1 : packedSize;
  if (wanted > kLargeMemberBuffer) wanted = kLargeMemberBuffer;
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

// Stored members are copied in chunks of this size; the sink is asked whether to go on after
// each one.
constexpr uint32_t kStoredChunk = 2048;

DecodeResult copyStored(ByteSource& source, uint64_t packedSize, uint64_t size, DecodeSink& sink) {
  DecodeResult result;
  // Stored bytes are the packed data itself: more of them than the member holds would be
  // copied from whatever follows it in the archive.
  if (size > packedSize) return damagedResult();
  uint8_t buffer[kStoredChunk];
  uint64_t done = 0;
  while (done < size) {
    const uint32_t n = size - done < kStoredChunk ? static_cast<uint32_t>(size - done) : kStoredChunk;
    // The archive ending inside the member is damage, whether or not the header has a CRC.
    if (source.read(buffer, n) != n) return damagedResult();
    if (!sink.write(buffer, n)) {
      result.status = DecodeStatus::writeFailed;
      result.systemError = sink.systemError();
      return result;
    }
    result.crc = crc16Update(result.crc, buffer, n);
    done += n;
    if (!sink.keepGoing(done)) {
      result.status = DecodeStatus::aborted;
      return result;
    }
  }
  return result;
}

}  // namespace

DecodeResult decodeFromSource(int methodNumber, ByteSource& source, uint64_t packedSize, uint64_t originalSize,
                              DecodeSink& sink, uint64_t availableMemory) {
  if (isStoredMethod(methodNumber)) return copyStored(source, packedSize, originalSize, sink);
  if (!isCompressedMethod(methodNumber)) return damagedResult();
  size_t bufferSize = 0;
  std::unique_ptr<uint8_t[]> buffer = allocateInputBuffer(packedSize, availableMemory, bufferSize);
  PackedInput input(&source, packedSize, buffer.get(), bufferSize);
  return decodeMethod(methodNumber, input, originalSize, sink);
}
