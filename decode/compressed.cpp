// decodeCompressed: the file-level entry of the compressing methods. Reads the member's
// packed data into memory (in one read when memory allows), decodes it, and sends each
// flushed block to the output file, the progress bar and the abort check.
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <new>

#include "decode/frame_internal.h"
#include "decode/lz_decoder.h"
#include "platform/platform.h"

namespace {

class MemberOutput : public DecodeSink {
 public:
  explicit MemberOutput(FileObject* file) : file_(file) {}

  // `zsfx test` passes no file: the bytes only go into the CRC.
  bool write(const uint8_t* bytes, size_t count) override {
    if (file_ == nullptr || !file_->isOpen()) return true;
    if (file_->write(bytes, static_cast<uint32_t>(count))) return true;
    error_ = platform::lastError();
    return false;
  }
  uint32_t systemError() const override { return error_; }
  bool keepGoing(uint64_t produced) override {
    reportProgress(produced);
    return g_runFlag.load(std::memory_order_relaxed) != 0;
  }

 private:
  FileObject* file_;
  uint32_t error_ = 0;
};

// Packed data of 4 GiB and more (sizes from extended header 0x42) is never held whole: it is
// read through a buffer of this size, refilled as decoding goes.
constexpr uint64_t kLargeMemberBuffer = uint64_t{64} << 20;

// The whole packed data, unless the available physical memory is smaller; then a buffer of
// that size refilled as decoding goes, or 16 KiB when even that cannot be had.
std::unique_ptr<uint8_t[]> allocateInputBuffer(uint64_t packedSize, size_t& size) {
  uint64_t wanted = packedSize == 0 ? 1 : packedSize;
  if (wanted >= (uint64_t{1} << 32)) wanted = kLargeMemberBuffer;
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

DecodeResult decodeCompressed(const CompressedMemberJob& job) {
  size_t bufferSize = 0;
  std::unique_ptr<uint8_t[]> buffer = allocateInputBuffer(job.packedSize, bufferSize);
  PackedInput input(job.input, job.packedSize, buffer.get(), bufferSize);
  MemberOutput output(job.output);
  return decodeMethod(job.methodNumber, input, job.originalSize, output);
}
