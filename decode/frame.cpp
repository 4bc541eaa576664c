// The decoder frame: the method list, the copy of stored members and the progress
// and abort state that every method shares.
#include "decode/frame.h"

#include <cstring>

#include "core/app.h"
#include "core/run_observer.h"
#include "decode/frame_internal.h"
#include "decode/lz_decoder.h"
#include "platform/platform.h"

namespace {

// Stored members are copied in chunks of this size; progress and the run flag are looked at
// after each one.
constexpr uint32_t kStoredChunk = 2048;

DecodeResult copyStored(SfxApp& app, FileObject* output, uint64_t size, uint64_t packedSize) {
  DecodeResult result;
  if (output == nullptr || size == 0) return result;
  // Stored bytes are the packed data itself: more of them than the member holds would be
  // copied from whatever follows it in the archive.
  if (size > packedSize) {
    result.status = DecodeStatus::damaged;
    return result;
  }
  uint8_t buffer[kStoredChunk];
  uint64_t done = 0;
  while (size > 0) {
    const uint32_t n = size < kStoredChunk ? static_cast<uint32_t>(size) : kStoredChunk;
    // The archive ending inside the member is damage, whether or not the header has a CRC.
    if (app.archiveFile == nullptr || app.archiveFile->read(n, buffer) != static_cast<int32_t>(n)) {
      result.status = DecodeStatus::damaged;
      return result;
    }
    if (!output->write(buffer, n)) {
      result.status = DecodeStatus::writeFailed;
      result.systemError = platform::lastError();
      return result;
    }
    result.crc = crc16Update(result.crc, buffer, n);
    done += n;
    reportProgress(done);
    if (g_runFlag.load() == 0) {
      result.status = DecodeStatus::aborted;
      return result;
    }
    size -= n;
  }
  return result;
}

// The decoders' output: the member's file, the progress bar and the abort button.
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

}  // namespace

int64_t ArchiveSource::read(uint8_t* buffer, size_t count) {
  // FileObject::read takes 32-bit counts; a larger request is served in pieces.
  const uint32_t piece = static_cast<uint32_t>(count < (size_t{1} << 30) ? count : size_t{1} << 30);
  return file_.read(piece, buffer);
}

DecodeResult decodeCompressed(const CompressedMemberJob& job) {
  MemberOutput output(job.output);
  if (job.input == nullptr) {
    DecodeResult result;
    result.status = DecodeStatus::damaged;
    return result;
  }
  ArchiveSource source(*job.input);
  return decodeFromSource(job.methodNumber, source, job.packedSize, job.originalSize, output);
}

uint64_t g_totalBytes = 0;
uint64_t g_doneBytes = 0;
uint32_t g_lastPercent = 0;
std::atomic<int32_t> g_runFlag{1};

int findMethodNumber(const uint8_t id[5]) {
  for (int number = 0; number < METHOD_COUNT; ++number) {
    if (std::memcmp(id, METHOD_IDS[number], 5) == 0) return number;
  }
  return -1;
}

void beginRun(uint64_t totalBytes) {
  buildCrcTable();
  g_totalBytes = totalBytes;
  g_doneBytes = 0;
  g_lastPercent = 0;
}

void reportProgress(uint64_t memberBytesDone) {
  const uint64_t total = g_totalBytes;
  if (total == 0) return;
  const uint64_t done = g_doneBytes + memberBytesDone;
  // Small totals are scaled first so that each byte still moves the bar; large ones are
  // divided first so that done * 100 cannot overflow, whatever the total.
  const auto percent = static_cast<uint32_t>(total <= 1000 ? (done * 100) / total : done / (total / 100));
  if (percent == g_lastPercent) return;
  g_lastPercent = percent;
  if (g_runObserver != nullptr) g_runObserver->progressPercent(percent);
}

DecodeResult decodeMember(SfxApp& app, FileObject* output, uint64_t originalSize, uint64_t packedSize,
                          const WideString& path, int methodNumber) {
  // Recorded first, so that an abort can remove the partial file.
  app.currentOutputPath.assign(path);
  if (methodNumber == METHOD_LH0 || methodNumber == METHOD_LZ4) return copyStored(app, output, originalSize, packedSize);
  if (isCompressedMethod(methodNumber)) {
    const CompressedMemberJob job{app.archiveFile.get(), output, originalSize, packedSize, methodNumber};
    return decodeCompressed(job);
  }
  // Directory entries and unknown methods never reach the frame.
  DecodeResult result;
  result.status = DecodeStatus::damaged;
  return result;
}
