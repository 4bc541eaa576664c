// A member of more than 4 GiB end to end: its sizes live in extended header 0x42 and the
// base header holds their low 32 bits. The archive is a sparse file (the member is stored:
// 4 GiB of zeros, then 16 bytes of text), followed by a small member that is found only
// when the seek past the big one goes by its whole size.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "decode/crc16.h"
#include "support/lzh_test_archive.h"
#include "support/zsfx_runner.h"

namespace fs = std::filesystem;

namespace {

void appendBytes(const fs::path& path, const lzhtest::Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good());
}

}  // namespace

TEST(LargeMember, StoredMemberPast4GiBIsListedAndTested) {
  if (zsfxUnderWine()) GTEST_SKIP() << "the large member runs with the host build only";
  const fs::path dir = makeTempDir("large");
  const fs::path archive = dir / "big.lzh";
  const uint64_t zeros = uint64_t{1} << 32;
  const lzhtest::Bytes tail = lzhtest::bytesOf("end of the file.");
  const uint64_t size = zeros + tail.size();

  // The CRC-16 of zeros from the initial value 0 stays 0, so the member's CRC is that of its
  // last 16 bytes; a reader that took only the low 32 bits of the size would see 16 zeros.
  lzhtest::Member big;
  big.name = "large.bin";
  big.originalSize = static_cast<uint32_t>(size);
  big.crc = crc16Update(0, tail.data(), tail.size());
  lzhtest::ExtHeader sizes{0x42, {}};
  for (uint64_t v : {size, size}) {
    for (int i = 0; i < 8; ++i) sizes.data.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  big.ext = {sizes};
  lzhtest::Bytes header = lzhtest::encodeMember(big);  // no data: the header alone
  header[7] = static_cast<uint8_t>(size), header[8] = static_cast<uint8_t>(size >> 8);
  header[9] = static_cast<uint8_t>(size >> 16), header[10] = static_cast<uint8_t>(size >> 24);
  lzhtest::writeFileBytes(archive, header);
  fs::resize_file(archive, header.size() + zeros);  // a hole, not 4 GiB on disk
  lzhtest::Member small;
  small.name = "after.txt";
  small.data = lzhtest::bytesOf("after");
  lzhtest::Bytes rest = tail;
  const lzhtest::Bytes smallArchive = lzhtest::encodeArchive({small});
  rest.insert(rest.end(), smallArchive.begin(), smallArchive.end());
  appendBytes(archive, rest);

  ZsfxRun run = runZsfx({"list", zsfxPath(archive.string())});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("-lh0- 4294967312 4294967312 "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(" after.txt\n"), std::string::npos) << run.out;
  run = runZsfx({"test", zsfxPath(archive.string())});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("2 members tested, 0 failed"), std::string::npos) << run.err;
  fs::remove_all(dir);
}

// zsfx pack writes such a member itself: a sparse file just over 4 GiB (zeros, then a line of
// text at the very end) is compressed, listed with its whole size and tested. The member's
// CRC comes from the tail only, so a writer or reader that dropped the high bits of a size
// fails here.
TEST(LargeMember, PackedFilePast4GiBRoundTrips) {
  if (zsfxUnderWine()) GTEST_SKIP() << "the large member runs with the host build only";
  const fs::path dir = makeTempDir("large-pack");
  fs::create_directories(dir / "src");
  const fs::path source = dir / "src" / "huge.bin";
  const uint64_t zeros = (uint64_t{1} << 32) + 4096;
  lzhtest::writeFileBytes(source, {});
  fs::resize_file(source, zeros);
  appendBytes(source, lzhtest::bytesOf("the last line of a very large file.\n"));
  const uint64_t size = fs::file_size(source);

  const std::string archive = (dir / "huge.lzh").string();
  ZsfxRun run = runZsfx({"pack", zsfxPath(archive), zsfxPath((dir / "src").string())});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_LT(fs::file_size(archive), uint64_t{1} << 24);  // compressed, not stored
  run = runZsfx({"list", zsfxPath(archive), "--json"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("\"original_size\": " + std::to_string(size)), std::string::npos) << run.out;
  run = runZsfx({"test", zsfxPath(archive)});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("1 members tested, 0 failed"), std::string::npos) << run.err;
  fs::remove_all(dir);
}

// zsfx extract killed with SIGTERM in the middle of the third of five members, over an
// installed tree: members 1 and 2 hold the new content, the third's target and members 4
// and 5 the old, and the temporary file is gone. The third member is 1 GiB of zeros (a
// sparse archive), so that the signal finds it being written.
TEST(LargeMember, SigtermDuringAMemberLeavesItsTargetWhole) {
  if (zsfxUnderWine()) GTEST_SKIP() << "POSIX signals: the Linux build only";
  const fs::path dir = makeTempDir("sigterm");
  const fs::path out = dir / "out";
  fs::create_directories(out);
  const auto name = [](int i) { return "file" + std::to_string(i) + ".bin"; };
  for (int i = 0; i < 5; ++i) lzhtest::writeFileBytes(out / name(i), lzhtest::bytesOf("version 1"));

  const fs::path archive = dir / "v2.lzh";
  lzhtest::Bytes bytes;
  for (int i = 0; i < 2; ++i) {
    lzhtest::Member m;
    m.name = name(i);
    m.data = lzhtest::bytesOf("version 2");
    const lzhtest::Bytes one = lzhtest::encodeMember(m);
    bytes.insert(bytes.end(), one.begin(), one.end());
  }
  constexpr uint32_t kZeros = 1u << 30;
  lzhtest::Member big;
  big.name = name(2);
  big.originalSize = kZeros;
  big.crc = 0;  // the CRC-16 of zeros from 0
  lzhtest::Bytes header = lzhtest::encodeMember(big);
  for (int i = 0; i < 4; ++i) header[7 + i] = static_cast<uint8_t>(kZeros >> (8 * i));
  bytes.insert(bytes.end(), header.begin(), header.end());
  lzhtest::writeFileBytes(archive, bytes);
  fs::resize_file(archive, bytes.size() + kZeros);
  std::vector<lzhtest::Member> rest(2);
  for (int i = 0; i < 2; ++i) rest[i].name = name(i + 3), rest[i].data = lzhtest::bytesOf("version 2");
  appendBytes(archive, lzhtest::encodeArchive(rest));

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, 2);
    execl(ZOLT_ZSFX_PATH, "zsfx", "extract", archive.c_str(), "-C", out.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  const fs::path temporary = out / (name(2) + ".zsfx-part");
  for (int waited = 0; waited < 20000 && !fs::exists(temporary); ++waited) usleep(1000);
  ASSERT_TRUE(fs::exists(temporary)) << "zsfx extract never began the third member";
  kill(child, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(lzhtest::readFileBytes(out / name(i)), lzhtest::bytesOf(i < 2 ? "version 2" : "version 1")) << name(i);
  }
  EXPECT_FALSE(fs::exists(temporary));
  fs::remove_all(dir);
}
