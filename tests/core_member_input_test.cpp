// Compressed members read from the archive file: through a buffer smaller than the packed
// data (as when memory is short), from an archive that ends early, into an output that
// cannot be written, and with the run aborted.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "core/extraction_run.h"
#include "core/file_object.h"
#include "core/member_decoder.h"
#include "decode/lz_decoder.h"
#include "support/member_locator.h"
#include "support/zsfx_runner.h"

namespace fs = std::filesystem;

namespace {

std::u16string widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

class ArchiveFile {
 public:
  explicit ArchiveFile(const std::string& path) {
    file.open(widen(path).c_str(), platform::GENERIC_READ_ACCESS, platform::SHARE_READ,
              platform::DISPOSITION_OPEN_EXISTING, platform::ATTRIBUTE_NORMAL);
  }
  FileObject file;
};

struct Collect : DecodeSink {
  std::vector<uint8_t> bytes;
  bool write(const uint8_t* data, size_t count) override {
    bytes.insert(bytes.end(), data, data + count);
    return true;
  }
};

class DecodeFromFile : public testing::Test {
 protected:
  std::string corpus(const std::string& name) const { return corpusPath(name); }
};

// Every compressed member of the level-0 archives, read through buffers of a few odd sizes.
TEST_F(DecodeFromFile, BufferSmallerThanThePackedDataIsRefilled) {
  for (const char* method : {"lh1", "lh2", "lh3", "lh4", "lh5", "lh6", "lh7", "lzs", "lz5"}) {
    const std::string path = corpus(std::string("methods/") + method + "-level0.lzh");
    std::string error;
    const auto members = locateMembers(readWholeFile(path), error);
    ASSERT_FALSE(members.empty()) << path << ": " << error;
    for (const LocatedMember& m : members) {
      const int number = findMethodNumber(reinterpret_cast<const uint8_t*>(m.method.data()));
      if (number < 1 || number > 9) continue;
      const auto expected = readWholeFile(corpusPath("files/" + m.name));
      // 13 bytes: never enough for the 16-byte margin of the fast loops (small members only,
      // one read per refill); 4096: refills within the hot loop's reach.
      for (size_t capacity : {size_t{13}, size_t{4096}}) {
        if (capacity < 100 && m.originalSize > 20000) continue;
        ArchiveFile archive(path);
        ASSERT_TRUE(archive.file.seek(static_cast<int64_t>(m.dataOffset), platform::SEEK_FROM_BEGIN));
        std::vector<uint8_t> buffer(capacity);
        ArchiveSource source(archive.file);
        PackedInput input(&source, m.packedSize, buffer.data(), capacity);
        Collect sink;
        const DecodeResult r = decodeMethod(number, input, m.originalSize, sink);
        EXPECT_EQ(r.status, DecodeStatus::ok) << path << " " << m.name << " buffer " << capacity;
        EXPECT_EQ(r.crc, m.crc) << path << " " << m.name;
        EXPECT_TRUE(sink.bytes == expected) << path << " " << m.name << " buffer " << capacity;
      }
    }
  }
}

// The first member of a level-0 -lh5- archive, found as the run finds it.
struct FirstMember {
  std::string path;
  LocatedMember member;
};

FirstMember firstLh5Member(const std::string& path) {
  std::string error;
  const auto members = locateMembers(readWholeFile(path), error);
  EXPECT_FALSE(members.empty()) << error;
  return {path, members.empty() ? LocatedMember{} : members.front()};
}

TEST_F(DecodeFromFile, ArchiveEndingInsideThePackedDataIsDamaged) {
  const FirstMember first = firstLh5Member(corpus("methods/lh5-level0.lzh"));
  ASSERT_EQ(first.member.method, "-lh5-");
  // Keep the header and half of the packed data.
  const std::string cut = makeTempDir("decode-cut") + "/cut.lzh";
  auto bytes = readWholeFile(first.path);
  bytes.resize(first.member.dataOffset + first.member.packedSize / 2);
  std::FILE* f = std::fopen(cut.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);

  ArchiveFile archive(cut);
  ASSERT_TRUE(archive.file.seek(static_cast<int64_t>(first.member.dataOffset), platform::SEEK_FROM_BEGIN));
  ExtractionRun run;
  FileObject out;
  out.open(widen(makeTempDir("decode-cut") + "/out.bin").c_str(), platform::GENERIC_WRITE_ACCESS, 0,
           platform::DISPOSITION_CREATE_ALWAYS, platform::ATTRIBUTE_NORMAL);
  const DecodeResult r = decodeMember(run, archive.file, out, first.member.originalSize, first.member.packedSize, 5);
  EXPECT_EQ(r.status, DecodeStatus::damaged);
}

#ifndef _WIN32
TEST_F(DecodeFromFile, FailedWriteFailsTheMemberWithTheSystemError) {
  const FirstMember first = firstLh5Member(corpus("methods/lh5-level0.lzh"));
  ArchiveFile archive(first.path);
  ASSERT_TRUE(archive.file.seek(static_cast<int64_t>(first.member.dataOffset), platform::SEEK_FROM_BEGIN));
  FileObject full;  // every write to /dev/full fails with ENOSPC
  full.open(u"/dev/full", platform::GENERIC_WRITE_ACCESS, 0, platform::DISPOSITION_OPEN_EXISTING,
            platform::ATTRIBUTE_NORMAL);
  if (!full.isOpen()) GTEST_SKIP() << "/dev/full is not available";
  ExtractionRun run;
  const DecodeResult r = decodeMember(run, archive.file, full, first.member.originalSize, first.member.packedSize, 5);
  EXPECT_EQ(r.status, DecodeStatus::writeFailed);
  EXPECT_EQ(r.systemError, static_cast<uint32_t>(ENOSPC));
}
#endif

TEST_F(DecodeFromFile, AbortedRunStopsWithoutWritingTheWindow) {
  const FirstMember first = firstLh5Member(corpus("methods/lh5-level0.lzh"));
  ArchiveFile archive(first.path);
  ASSERT_TRUE(archive.file.seek(static_cast<int64_t>(first.member.dataOffset), platform::SEEK_FROM_BEGIN));
  const std::string outPath = makeTempDir("decode-abort") + "/out.bin";
  FileObject out;
  out.open(widen(outPath).c_str(), platform::GENERIC_WRITE_ACCESS, 0, platform::DISPOSITION_CREATE_ALWAYS,
           platform::ATTRIBUTE_NORMAL);
  ASSERT_TRUE(out.isOpen());
  ExtractionRun run;
  run.abort();
  const DecodeResult r = decodeMember(run, archive.file, out, first.member.originalSize, first.member.packedSize, 5);
  out.close();
  EXPECT_EQ(r.status, DecodeStatus::aborted);
  EXPECT_EQ(fs::file_size(outPath), 0u);
}

}  // namespace
