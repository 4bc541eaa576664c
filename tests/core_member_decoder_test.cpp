// The member frame: progress and abort through the run, the stored copy, the output file.
#include "core/member_decoder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "core/extraction_run.h"
#include "decode/crc16.h"
#include "support/lzh_test_archive.h"

using namespace lzhtest;

namespace {

struct ProgressRecorder : RunObserver {
  std::vector<uint32_t> percents;
  ExtractionRun* abortOnProgress = nullptr;
  void memberAnnounced(const char16_t*) override {}
  void progressPercent(uint32_t percent) override {
    percents.push_back(percent);
    if (abortOnProgress) abortOnProgress->abort();
  }
  void showMessage(const char16_t*, MessageKind) override {}
  void showSystemError(uint32_t, uint32_t) override {}
  void runEnded(bool) override {}
};

class Frame : public ::testing::Test {
 protected:
  // Copies a stored member of the given bytes (archive holding them plus extra) into "out".
  DecodeResult store(const Bytes& archive, uint32_t size, int method = METHOD_LH0) {
    return decode(archive, size, size, method);
  }
  // Decodes a member whose packed data starts the archive into "out".
  DecodeResult decode(const Bytes& archive, uint32_t originalSize, uint32_t packedSize, int method) {
    const std::unique_ptr<FileObject> input = openBytes(scratch, "archive", archive);
    FileObject output;
    output.open((scratch.path() / "out").u16string().c_str(), platform::GENERIC_WRITE_ACCESS, 0,
                platform::DISPOSITION_CREATE_ALWAYS, platform::ATTRIBUTE_NORMAL);
    return decodeMember(run, *input, output, originalSize, packedSize, method);
  }

  ScratchFolder scratch;
  ProgressRecorder recorder;
  ExtractionRun run{recorder};
};

}  // namespace

TEST_F(Frame, ProgressIsSentOnlyWhenThePercentageChanges) {
  run.begin(1000);
  run.progress(500);
  run.progress(501);
  run.progress(509);
  EXPECT_EQ(recorder.percents, (std::vector<uint32_t>{50}));
  run.begin(1001);
  run.progress(1001);  // 1001 / (1001 / 100) = 100
  run.memberDone(1000);
  run.progress(1001);  // 2001 / 10: not clamped
  EXPECT_EQ(recorder.percents, (std::vector<uint32_t>{50, 100, 200}));
  run.begin(0);
  run.progress(5);
  EXPECT_EQ(recorder.percents.size(), 3u);
}

// Installers of many gigabytes: members of almost 4 GiB each, reported as the decoder and
// the run report them. The bar climbs one percent at a time and ends at exactly 100.
TEST_F(Frame, ProgressPastFourGiBClimbsSmoothlyTo100) {
  constexpr uint32_t kMember = 0xFFFFFFF0u;
  constexpr int kMembers = 5;
  run.begin(uint64_t{kMember} * kMembers);
  for (int member = 0; member < kMembers; ++member) {
    for (uint64_t done = 0; done < kMember; done += kMember / 64) run.progress(static_cast<uint32_t>(done));
    run.progress(kMember);
    run.memberDone(kMember);
  }
  ASSERT_FALSE(recorder.percents.empty());
  for (size_t i = 1; i < recorder.percents.size(); ++i) {
    EXPECT_GT(recorder.percents[i], recorder.percents[i - 1]) << i;
    EXPECT_LE(recorder.percents[i] - recorder.percents[i - 1], 1u) << i;
  }
  EXPECT_EQ(recorder.percents.back(), 100u);
}

TEST_F(Frame, StoredCopyIsExactAndReportsPerChunk) {
  for (uint32_t size : {0u, 1u, 2048u, 2049u, 10000u}) {
    recorder.percents.clear();
    run.begin(size);
    Bytes archive = patternBytes(size, size);
    const Bytes expected = archive;
    archive.push_back(0x55);  // the next header must not be copied
    const DecodeResult result = store(archive, size);
    EXPECT_EQ(result.status, DecodeStatus::ok) << size;
    EXPECT_EQ(result.crc, crc16Update(0, expected.data(), expected.size())) << size;
    EXPECT_EQ(readFileBytes(scratch.path() / "out"), expected) << size;
    const size_t chunks = (size + 2047) / 2048;
    EXPECT_LE(recorder.percents.size(), chunks) << size;
    // Whole done / (total / 100) may pass 100 for totals above 1000; the bar clamps it.
    if (size != 0) {
      EXPECT_GE(recorder.percents.back(), 100u) << size;
    }
  }
}

TEST_F(Frame, Lz4IsStoredToo) {
  const Bytes data = bytesOf("stored under -lz4-");
  const DecodeResult result = store(data, static_cast<uint32_t>(data.size()), METHOD_LZ4);
  EXPECT_EQ(result.status, DecodeStatus::ok);
  EXPECT_EQ(readFileBytes(scratch.path() / "out"), data);
}

TEST_F(Frame, ShortReadIsDamage) {
  const Bytes data = patternBytes(3000);
  const DecodeResult result = store(data, 5000);
  EXPECT_EQ(result.status, DecodeStatus::damaged);
  // The whole first chunk was written before the archive ran out.
  EXPECT_EQ(readFileBytes(scratch.path() / "out").size(), 2048u);
}

TEST_F(Frame, AbortStopsAfterTheCurrentChunk) {
  recorder.abortOnProgress = &run;
  run.begin(100000);
  const DecodeResult result = store(patternBytes(100000), 100000);
  EXPECT_EQ(result.status, DecodeStatus::aborted);
  EXPECT_EQ(readFileBytes(scratch.path() / "out").size(), 2048u);
}

TEST_F(Frame, FailedWriteCarriesTheSystemError) {
  const std::unique_ptr<FileObject> input = openBytes(scratch, "archive", patternBytes(4096));
  FileObject full;
  full.open(u"/dev/full", platform::GENERIC_WRITE_ACCESS, 0, platform::DISPOSITION_OPEN_EXISTING, 0x80);
  if (!full.isOpen()) GTEST_SKIP() << "/dev/full is not available";
  const DecodeResult result = decodeMember(run, *input, full, 4096, 4096, METHOD_LH0);
  EXPECT_EQ(result.status, DecodeStatus::writeFailed);
  EXPECT_EQ(result.systemError, static_cast<uint32_t>(ENOSPC));
}

// A header may claim any original size. Past the member's packed data the decoders read at
// most 8 bytes' worth of 0 bits, and an archive that ends inside the packed data fails at
// the short read: a 16-byte member claiming 0xF0000000 bytes fails at once, with almost
// nothing written, for every method. Zeros are what a decoder sees past the end anyway.
TEST_F(Frame, ClaimedSizeBeyondThePackedDataFailsAtOnce) {
  for (int method = METHOD_LH0; method <= METHOD_LZ4; ++method) {
    for (size_t held : {size_t{16}, size_t{8}}) {  // of the 16 packed bytes the header claims
      const auto start = std::chrono::steady_clock::now();
      const DecodeResult result = decode(Bytes(held, 0), 0xF0000000u, 16, method);
      const auto elapsed = std::chrono::steady_clock::now() - start;
      const auto written = std::filesystem::file_size(scratch.path() / "out");
      EXPECT_EQ(result.status, DecodeStatus::damaged) << methodIdOf(method).text << " holding " << held;
      EXPECT_LT(elapsed, std::chrono::seconds(1)) << methodIdOf(method).text << " holding " << held;
      EXPECT_LT(written, 1u << 20) << methodIdOf(method).text << " holding " << held;
      // Nothing is decoded from an archive that cannot deliver the packed data.
      if (held < 16) {
        EXPECT_EQ(written, 0u) << methodIdOf(method).text;
      }
    }
  }
}
