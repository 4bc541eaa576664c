// zsfx as other tools call it: exit statuses, bad input, and self-extracting files made with
// `zsfx make` read back by `settings`, `list` and `extract`.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/lzh_test_archive.h"
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

TEST_F(ZsfxCli, LinksAreListedWithTheirTargetAndSkippedByTest) {
  lzhtest::Member link;
  link.method = "-lhd-";
  link.name = "a|../x";
  lzhtest::Member odd;
  odd.method = "-pm2-";
  odd.name = "odd.bin";
  odd.data = lzhtest::bytesOf("zz");
  lzhtest::Member file;
  file.name = "a/file.txt";
  file.data = lzhtest::bytesOf("text");
  lzhtest::writeFileBytes(path("links.lzh"), lzhtest::encodeArchive({link, odd, file}));

  ZsfxRun run = runZsfx({"list", zsfxPath(path("links.lzh"))});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find(" a -> ../x\n"), std::string::npos) << run.out;
  run = runZsfx({"list", "--json", zsfxPath(path("links.lzh"))});
  EXPECT_NE(run.out.find("\"path\": \"a\", \"link_target\": \"../x\"}"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"path\": \"a/file.txt\"}"), std::string::npos) << run.out;
  run = runZsfx({"test", zsfxPath(path("links.lzh"))});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("1 members tested, 0 failed, 2 skipped (1 link, 1 unknown method)"), std::string::npos)
      << run.err;

  // make wraps an archive with links, naming them in a warning; an unknown method is refused.
  writeFile(path("stub.exe"), fakeStub());
  lzhtest::writeFileBytes(path("link-only.lzh"), lzhtest::encodeArchive({link, file}));
  run = runZsfx({"make", "-o", zsfxPath(path("l.exe")), "--stub", zsfxPath(path("stub.exe")), "--archive",
                 zsfxPath(path("link-only.lzh"))});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("warning: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("link \"a|../x\""), std::string::npos) << run.err;
  EXPECT_TRUE(fs::exists(path("l.exe")));
  run = runZsfx({"make", "-o", zsfxPath(path("m.exe")), "--stub", zsfxPath(path("stub.exe")), "--archive",
                 zsfxPath(path("links.lzh"))});
  EXPECT_NE(run.exitCode, 0) << run.err;
}

TEST_F(ZsfxCli, ListShowsSizesPast32Bits) {
  const uint64_t huge = (uint64_t{1} << 32) + 400'000'000;  // 4694967296
  lzhtest::Member big;
  big.method = "-lh5-";
  big.name = "zero.bin";
  big.data = lzhtest::bytesOf("packed");
  big.originalSize = static_cast<uint32_t>(huge);
  lzhtest::ExtHeader sizes{0x42, {}};
  for (uint64_t v : {uint64_t{6}, huge}) {
    for (int i = 0; i < 8; ++i) sizes.data.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  big.ext = {sizes};
  lzhtest::writeFileBytes(path("big.lzh"), lzhtest::encodeArchive({big}));
  ZsfxRun run = runZsfx({"list", zsfxPath(path("big.lzh"))});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("-lh5- 4694967296          6 "), std::string::npos) << run.out;
  run = runZsfx({"list", "--json", zsfxPath(path("big.lzh"))});
  EXPECT_NE(run.out.find("\"original_size\": 4694967296, \"packed_size\": 6,"), std::string::npos) << run.out;
}

// Links are followed; what cannot be packed is named on stderr, the archive is written
// anyway, and the exit status tells a script that something was left out.
TEST_F(ZsfxCli, PackFollowsLinksAndNamesWhatItSkips) {
  if (zsfxUnderWine()) GTEST_SKIP() << "POSIX links and fifos: the native build's concern";
  const fs::path src = path("src");
  fs::create_directories(src / "dir");
  writeFile((src / "real.txt").string(), {'r', 'e', 'a', 'l'});
  writeFile((src / "dir" / "inner.txt").string(), {'i', 'n'});
  fs::create_symlink("real.txt", src / "link-file");
  fs::create_directory_symlink("dir", src / "link-dir");
  fs::create_symlink("nowhere", src / "dangling");
  fs::create_directory_symlink("..", src / "dir" / "loop");
  fs::create_symlink("self", src / "self");
  ASSERT_EQ(::system(("mkfifo '" + (src / "fifo").string() + "'").c_str()), 0);

  ZsfxRun run = runZsfx({"pack", path("a.lzh"), src.string()});
  EXPECT_EQ(run.exitCode, 1) << run.err;
  for (const char* skipped : {"dangling\": a dangling link", "loop\": a link loop", "self\": a link loop",
                              "fifo\": a fifo"})
    EXPECT_NE(run.err.find(skipped), std::string::npos) << skipped << " in:\n" << run.err;
  run = runZsfx({"extract", path("a.lzh"), "-C", path("out")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(readFileBytes(path("out/link-file")), readFileBytes((src / "real.txt").string()));
  EXPECT_EQ(readFileBytes(path("out/link-dir/inner.txt")), readFileBytes((src / "dir/inner.txt").string()));
  EXPECT_FALSE(fs::exists(path("out/dangling")));
  EXPECT_FALSE(fs::exists(path("out/dir/loop")));
}

TEST_F(ZsfxCli, SourceDateEpochIsTheLatestMemberTime) {
  fs::create_directories(path("src"));
  writeFile(path("src/new.txt"), {'n'});
  writeFile(path("src/old.txt"), {'o'});
  const auto at = [](int64_t seconds) {
    return std::chrono::file_clock::from_sys(std::chrono::system_clock::time_point(std::chrono::seconds(seconds)));
  };
  fs::last_write_time(path("src/new.txt"), at(1700000000));
  fs::last_write_time(path("src/old.txt"), at(1500000000));
  setenv("SOURCE_DATE_EPOCH", "1600000000", 1);
  ZsfxRun run = runZsfx({"pack", zsfxPath(path("a.lzh")), zsfxPath(path("src"))});
  setenv("SOURCE_DATE_EPOCH", "16e8", 1);
  const ZsfxRun bad = runZsfx({"pack", zsfxPath(path("b.lzh")), zsfxPath(path("src"))});
  unsetenv("SOURCE_DATE_EPOCH");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("SOURCE_DATE_EPOCH"), std::string::npos) << bad.err;
  run = runZsfx({"list", zsfxPath(path("a.lzh"))});
  EXPECT_NE(run.out.find("2020-09-13T12:26:40Z new.txt"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("2017-07-14T02:40:00Z old.txt"), std::string::npos) << run.out;
}

// A name that code page 932 cannot spell stops make and pack before they write anything.
TEST_F(ZsfxCli, LegacyNamesRefuseWhatTheCodePageCannotSpell) {
  fs::create_directories(path("src"));
  writeFile(path("src/caf\xC3\xA9.txt"), {'c'});
  writeFile(path("stub.exe"), fakeStub());
  const std::vector<std::vector<std::string>> commands = {
      {"pack", zsfxPath(path("out.lzh")), zsfxPath(path("src")), "--legacy-names", "932"},
      {"make", "-o", zsfxPath(path("out.exe")), "--stub", zsfxPath(path("stub.exe")), "--from", zsfxPath(path("src")),
       "--legacy-names", "932"}};
  for (const auto& args : commands) {
    const ZsfxRun run = runZsfx(args);
    EXPECT_EQ(run.exitCode, 2) << args[0];
    EXPECT_NE(run.err.find("caf\xC3\xA9.txt\" has no code in code page 932"), std::string::npos) << run.err;
  }
  EXPECT_FALSE(fs::exists(path("out.lzh")));
  EXPECT_FALSE(fs::exists(path("out.exe")));
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--legacy-names", "437"},
                                              {"--threads", "0"}, {"--threads", "many"}}) {
    const ZsfxRun run = runZsfx({"pack", zsfxPath(path("out.lzh")), zsfxPath(path("src")), bad[0], bad[1]});
    EXPECT_EQ(run.exitCode, 2) << bad[0] << " " << bad[1];
    EXPECT_NE(run.err.find(bad[0] + " wants"), std::string::npos) << run.err;
  }
}
