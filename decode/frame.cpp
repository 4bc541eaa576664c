// The decoder frame: the method list, the copy of stored members and the progress
// and abort state that every method shares.
#include "decode/frame.h"

#include <cstring>

#include "core/app.h"
#include "core/run_observer.h"
#include "decode/frame_internal.h"
#include "platform/platform.h"

namespace {

// Stored members are copied in chunks of this size; progress and the run flag are looked at
// after each one.
constexpr uint32_t kStoredChunk = 2048;

DecodeResult copyStored(SfxApp& app, FileObject* output, uint64_t size) {
  DecodeResult result;
  if (output == nullptr || size == 0) return result;
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

}  // namespace

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
  if (methodNumber == METHOD_LH0 || methodNumber == METHOD_LZ4) return copyStored(app, output, originalSize);
  if (methodNumber >= 1 && methodNumber <= 9) {
    const CompressedMemberJob job{app.archiveFile.get(), output, originalSize, packedSize, methodNumber};
    return decodeCompressed(job);
  }
  // Directory entries and unknown methods never reach the frame.
  DecodeResult result;
  result.status = DecodeStatus::damaged;
  return result;
}
