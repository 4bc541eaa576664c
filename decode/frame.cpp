// The decoder frame: the method list, CRC-16, the copy of stored members and the progress
// and abort state that every method shares.
#include "decode/frame.h"

#include <array>
#include <cstring>

#include "core/app.h"
#include "core/run_observer.h"
#include "decode/crc16_fast.h"
#include "decode/frame_internal.h"
#include "decode/lz_decoder.h"
#include "platform/platform.h"

namespace {

// Stored members are copied in chunks of this size; progress and the run flag are looked at
// after each one.
constexpr uint32_t kStoredChunk = 2048;

// CRC-16/ARC: entry i is i run through 8 rounds of the reflected polynomial 0xA001.
constexpr std::array<uint16_t, 256> makeCrcTable() {
  std::array<uint16_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t x = i;
    for (int round = 0; round < 8; ++round) x = (x & 1) != 0 ? (x >> 1) ^ 0xA001u : x >> 1;
    table[i] = static_cast<uint16_t>(x);
  }
  return table;
}

// Built once when the run starts; filled here already so that no caller can see it empty,
// except in the stub, whose worker builds it before anything else and which saves the 1 KB
// that the table and its constant image take in the file.
#ifdef ZOLT_STUB
std::array<uint16_t, 256> g_crcTable;
#else
std::array<uint16_t, 256> g_crcTable = makeCrcTable();
#endif

DecodeResult copyStored(SfxApp& app, FileObject* output, uint32_t size, uint32_t packedSize) {
  DecodeResult result;
  if (output == nullptr || size == 0) return result;
  // Stored bytes are the packed data itself: more of them than the member holds would be
  // copied from whatever follows it in the archive.
  if (size > packedSize) {
    result.status = DecodeStatus::damaged;
    return result;
  }
  uint8_t buffer[kStoredChunk];
  uint32_t done = 0;
  while (size > 0) {
    const uint32_t n = size < kStoredChunk ? size : kStoredChunk;
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
    reportProgress(static_cast<uint32_t>(produced));
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

uint32_t g_totalBytes = 0;
uint32_t g_doneBytes = 0;
uint32_t g_lastPercent = 0;
std::atomic<int32_t> g_runFlag{1};

int findMethodNumber(const uint8_t id[5]) {
  for (int number = 0; number < METHOD_COUNT; ++number) {
    if (std::memcmp(id, METHOD_IDS[number], 5) == 0) return number;
  }
  return -1;
}

void buildCrcTable() {
#ifdef ZOLT_STUB
  // Computed here rather than copied from a constant image of the table.
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t x = i;
    for (int round = 0; round < 8; ++round) x = (x & 1) != 0 ? (x >> 1) ^ 0xA001u : x >> 1;
    g_crcTable[i] = static_cast<uint16_t>(x);
  }
#else
  g_crcTable = makeCrcTable();
#endif
}

// Whole chunks go through the block CRC (the same CRC, many bytes per step); the table
// above stays the one-byte form that the run builds.
uint16_t crc16Update(uint16_t crc, const uint8_t* bytes, size_t count) {
  if (count >= 64) return crc16Blocks(crc, bytes, count);
  for (size_t i = 0; i < count; ++i) crc = static_cast<uint16_t>((crc >> 8) ^ g_crcTable[(crc ^ bytes[i]) & 0xFF]);
  return crc;
}

void reportProgress(uint32_t memberBytesDone) {
  const uint32_t total = g_totalBytes;
  if (total == 0) return;
  const uint32_t done = g_doneBytes + memberBytesDone;
  // Small totals are scaled first so that each byte still moves the bar; large ones are
  // divided first so that done * 100 cannot overflow.
  const uint32_t percent = total <= 1000 ? (done * 100) / total : done / (total / 100);
  if (percent == g_lastPercent) return;
  g_lastPercent = percent;
  if (g_runObserver != nullptr) g_runObserver->progressPercent(percent);
}

DecodeResult decodeMember(SfxApp& app, FileObject* output, uint32_t originalSize, uint32_t packedSize,
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
