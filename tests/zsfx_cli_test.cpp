// zsfx as other tools call it: exit statuses, bad input, and self-extracting files made with
// `zsfx make` read back by `settings`, `list` and `extract`.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/zsfx_runner.h"

namespace fs = std::filesystem;

namespace {

void writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void put16(std::vector<unsigned char>& b, size_t at, uint16_t v) {
  b[at] = v & 0xFF;
  b[at + 1] = v >> 8;
}
void put32(std::vector<unsigned char>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}

// The smallest image the payload finder accepts: DOS header, PE signature, a COFF header
// without optional header, and two sections whose raw data ends at byte 0x600.
std::vector<unsigned char> fakeStub() {
  std::vector<unsigned char> image(0x600, 0);
  image[0] = 'M', image[1] = 'Z';
  put32(image, 0x3C, 0x80);
  image[0x80] = 'P', image[0x81] = 'E';
  put16(image, 0x84 + 2, 2);  // sections
  put16(image, 0x84 + 16, 0);  // optional header size
  const size_t sections = 0x84 + 20;
  put32(image, sections + 16, 0x200), put32(image, sections + 20, 0x400);      // .b: 0x400..0x600
  put32(image, sections + 40 + 16, 0x200), put32(image, sections + 40 + 20, 0x200);  // .a: 0x200..0x400
  return image;
}

class ZsfxCli : public testing::Test {
 protected:
  void SetUp() override {
    if (zsfxUnderWine() && !fs::exists(std::getenv("ZOLT_ZSFX_EXE"))) {
      if (std::getenv("CI")) FAIL() << "zsfx.exe was not built";
      GTEST_SKIP() << "zsfx.exe is not built (cmake --preset windows)";
    }
    dir_ = makeTempDir("cli");
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  std::string corpus(const std::string& name) const { return corpusPath(name); }
  std::string dir_;
};

TEST_F(ZsfxCli, BadUsageExitsWithTwo) {
  EXPECT_EQ(runZsfx({}).exitCode, 2);
  EXPECT_EQ(runZsfx({"frobnicate"}).exitCode, 2);
  EXPECT_EQ(runZsfx({"list"}).exitCode, 2);
  EXPECT_EQ(runZsfx({"list", zsfxPath(path("does-not-exist.lzh"))}).exitCode, 2);
  EXPECT_EQ(runZsfx({"list", "a", "--bogus"}).exitCode, 2);
  EXPECT_EQ(runZsfx({"make", "-o", zsfxPath(path("x.exe"))}).exitCode, 2);
}

TEST_F(ZsfxCli, FilesThatAreNotArchivesExitWithTwoAndSaySo) {
  std::mt19937 random(12345);
  std::vector<unsigned char> noise(5000);
  for (auto& byte : noise) byte = static_cast<unsigned char>(random());
  noise[2] = 'x';  // not a method identifier
  writeFile(path("noise.bin"), noise);
  ZsfxRun run = runZsfx({"list", zsfxPath(path("noise.bin"))});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("not an LZH archive"), std::string::npos) << run.err;

  // "MZ" with headers that point nowhere.
  std::vector<unsigned char> badImage = {'M', 'Z', 0, 0};
  badImage.resize(200, 0xFF);
  writeFile(path("bad.exe"), badImage);
  run = runZsfx({"test", zsfxPath(path("bad.exe"))});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_FALSE(run.err.empty());

  // A stub with nothing behind its image: no settings block can be read.
  writeFile(path("bare.exe"), fakeStub());
  run = runZsfx({"extract", zsfxPath(path("bare.exe")), "-C", zsfxPath(path("out"))});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_FALSE(fs::exists(path("out")));
}

TEST_F(ZsfxCli, MadeFileCarriesSettingsAndArchive) {
  writeFile(path("stub.exe"), fakeStub());
  ZsfxRun run = runZsfx({"make", "-o", zsfxPath(path("sfx.exe")), "--stub", zsfxPath(path("stub.exe")), "--archive",
                         zsfxPath(corpus("headers/dir-entries.lzh")), "--title", "インストーラ", "--dest",
                         "Tools\\App", "--program-files", "--shortcut-target", "bin\\tool.exe", "--startmenu",
                         "ask-on", "--desktop", "on", "--sendto", "ask-off", "--run", "setup.exe",
                         "--shortcut-name", "Tool"});
  ASSERT_EQ(run.exitCode, 0) << run.err;

  // The payload starts at the end of the image: the stub's 0x600 bytes.
  const std::vector<unsigned char> made = readFileBytes(path("sfx.exe"));
  ASSERT_GT(made.size(), 0x600u);
  EXPECT_EQ(made[0x600], 1);  // marker of a complete block

  run = runZsfx({"settings", zsfxPath(path("sfx.exe"))});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("complete: 1\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("title: インストーラ\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Tools\\App\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("shortcut-target: bin\\tool.exe\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("startmenu: 3 "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("desktop: 2 "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("sendto: 1 "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("run: setup.exe\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("shortcut-name: Tool\n"), std::string::npos) << run.out;

  run = runZsfx({"extract", zsfxPath(path("sfx.exe")), "-C", zsfxPath(path("out"))});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(fs::is_directory(path("out/tree/leaf")));
  EXPECT_EQ(fs::file_size(path("out/tree/leaf/in.txt")), 777u);
}

TEST_F(ZsfxCli, MadeFileWithoutSettingsHasTheOneByteBlock) {
  writeFile(path("stub.exe"), fakeStub());
  ZsfxRun run = runZsfx({"make", "-o", zsfxPath(path("sfx.exe")), "--stub", zsfxPath(path("stub.exe")), "--archive",
                         zsfxPath(corpus("headers/lz4-stored.lzh")), "--no-settings"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::vector<unsigned char> made = readFileBytes(path("sfx.exe"));
  const std::vector<unsigned char> archive = readFileBytes(corpus("headers/lz4-stored.lzh"));
  ASSERT_EQ(made.size(), 0x600 + 1 + archive.size());
  EXPECT_EQ(made[0x600], 0);
  run = runZsfx({"settings", zsfxPath(path("sfx.exe"))});
  EXPECT_NE(run.out.find("complete: 0\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("title: Zolt SFX\n"), std::string::npos) << run.out;
  run = runZsfx({"test", zsfxPath(path("sfx.exe"))});
  EXPECT_EQ(run.exitCode, 0) << run.err;
}

TEST_F(ZsfxCli, MakeRefusesWhatTheStubCouldNotRead) {
  writeFile(path("stub.exe"), fakeStub());
  const std::string archive = zsfxPath(corpus("headers/lz4-stored.lzh"));
  // A string of 256 units does not fit its one-byte length.
  ZsfxRun run = runZsfx({"make", "-o", zsfxPath(path("a.exe")), "--stub", zsfxPath(path("stub.exe")), "--archive",
                         archive, "--title", std::string(256, 'T')});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("255"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(path("a.exe")));
  run = runZsfx({"make", "-o", zsfxPath(path("b.exe")), "--stub", zsfxPath(path("stub.exe")), "--archive", archive,
                 "--title", std::string(255, 'T')});
  EXPECT_EQ(run.exitCode, 0) << run.err;

  // A stub with bytes behind its image would read its settings from the wrong place.
  std::vector<unsigned char> padded = fakeStub();
  padded.resize(padded.size() + 16, 0);
  writeFile(path("padded.exe"), padded);
  run = runZsfx({"make", "-o", zsfxPath(path("c.exe")), "--stub", zsfxPath(path("padded.exe")), "--archive", archive});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_FALSE(fs::exists(path("c.exe")));

  run = runZsfx({"make", "-o", zsfxPath(path("d.exe")), "--stub", zsfxPath(path("stub.exe")), "--archive", archive,
                 "--desktop", "maybe"});
  EXPECT_EQ(run.exitCode, 2);
}

// What the stub would fail on, or pass over without a word, is not wrapped: exit 1 and the
// member for a failing member or a skipped method, exit 2 for what is no LZH archive.
// --force wraps each of them anyway, with a warning.
TEST_F(ZsfxCli, MakeRefusesArchivesTheStubWouldFailOnOrSkip) {
  writeFile(path("stub.exe"), fakeStub());
  std::vector<unsigned char> noise(1000);
  std::mt19937 random(11);
  for (auto& byte : noise) byte = static_cast<unsigned char>(random());
  noise[0] = 0x7F;  // not the end mark (an archive with no member, refused all the same)
  writeFile(path("noise.bin"), noise);
  struct Case {
    std::string archive;
    int exitCode;
    std::string said;
  };
  const Case cases[] = {
      {path("noise.bin"), 2, "noise.bin"},
      {corpus("headers/crc-mismatch.lzh"), 1, "\"corrupt.txt\""},
      {corpus("headers/unknown-method.lzh"), 1, "\"skip.me\""},
      {path("stub.exe"), 2, "wrap its archive, not the file"},
      {corpus("headers/empty-archive.lzh"), 2, "no member"},
  };
  for (const Case& c : cases) {
    const std::string out = path("out.exe");
    ZsfxRun run = runZsfx({"make", "-o", zsfxPath(out), "--stub", zsfxPath(path("stub.exe")), "--archive",
                           zsfxPath(c.archive)});
    EXPECT_EQ(run.exitCode, c.exitCode) << c.archive << run.err;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(out)) << c.archive;
    run = runZsfx({"make", "-o", zsfxPath(out), "--stub", zsfxPath(path("stub.exe")), "--archive",
                   zsfxPath(c.archive), "--force"});
    EXPECT_EQ(run.exitCode, 0) << c.archive << run.err;
    EXPECT_NE(run.err.find("warning"), std::string::npos) << run.err;
    const std::vector<unsigned char> made = readFileBytes(out), archive = readFileBytes(c.archive);
    ASSERT_GT(made.size(), archive.size());
    EXPECT_TRUE(std::equal(archive.begin(), archive.end(), made.end() - static_cast<long>(archive.size())))
        << c.archive;
    fs::remove(out);
  }
}

// A level-2 time before 1970: -2147483643 is 5 seconds after the earliest signed 32-bit time.
TEST_F(ZsfxCli, ListPrintsTimesBefore1970) {
  const std::string archive = zsfxPath(corpus("headers/level2-negative-time.lzh"));
  for (const char* form : {"--json", ""}) {
    std::vector<std::string> args{"list", archive};
    if (*form != 0) args.push_back(form);
    const ZsfxRun run = runZsfx(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("1901-12-13T20:45:57Z"), std::string::npos) << run.out;
  }
}

TEST_F(ZsfxCli, TruncatedSelfExtractingFileFailsClearly) {
  writeFile(path("stub.exe"), fakeStub());
  ZsfxRun run = runZsfx({"make", "-o", zsfxPath(path("sfx.exe")), "--stub", zsfxPath(path("stub.exe")), "--archive",
                         zsfxPath(corpus("methods/lh0-level2.lzh")), "--title", "T"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::vector<unsigned char> made = readFileBytes(path("sfx.exe"));
  // Cut inside the first member's data, then inside the settings block.
  made.resize(0x600 + 300);
  writeFile(path("cut.exe"), made);
  run = runZsfx({"extract", zsfxPath(path("cut.exe")), "-C", zsfxPath(path("out"))});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("が壊れています。"), std::string::npos) << run.err;
  made.resize(0x600 + 5);
  writeFile(path("cut2.exe"), made);
  run = runZsfx({"list", zsfxPath(path("cut2.exe"))});
  EXPECT_EQ(run.exitCode, 2);
}

}  // namespace
