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

// CRC-32 as zip computes it, a bit at a time: the reference for the trailer make writes.
uint32_t bitwiseCrc32(const unsigned char* bytes, size_t count) {
  uint32_t crc = 0xFFFFFFFFu;
  while (count-- > 0) {
    crc ^= *bytes++;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return ~crc;
}

// The trailer that follows the archive's end mark: the mark (starting with 0) and the CRC-32
// of everything from the settings block at payloadStart to the end mark.
void expectTrailer(const std::vector<unsigned char>& made, size_t payloadStart) {
  ASSERT_GT(made.size(), payloadStart + 12);
  const size_t at = made.size() - 12;
  EXPECT_EQ(std::string(made.begin() + at, made.begin() + at + 8), std::string("\0ZSFXCRC", 8));
  EXPECT_EQ(made[at - 1], 0) << "the end mark";
  uint32_t stored = 0;
  for (int i = 0; i < 4; ++i) stored |= uint32_t{made[at + 8 + i]} << (8 * i);
  EXPECT_EQ(stored, bitwiseCrc32(made.data() + payloadStart, at - payloadStart));
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
  writeFile(path("bare.exe"), lzhtest::fakeStub());
  run = runZsfx({"extract", zsfxPath(path("bare.exe")), "-C", zsfxPath(path("out"))});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_FALSE(fs::exists(path("out")));
}

TEST_F(ZsfxCli, MadeFileCarriesSettingsAndArchive) {
  writeFile(path("stub.exe"), lzhtest::fakeStub());
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
  writeFile(path("stub.exe"), lzhtest::fakeStub());
  ZsfxRun run = runZsfx({"make", "-o", zsfxPath(path("sfx.exe")), "--stub", zsfxPath(path("stub.exe")), "--archive",
                         zsfxPath(corpus("headers/lz4-stored.lzh")), "--no-settings"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::vector<unsigned char> made = readFileBytes(path("sfx.exe"));
  const std::vector<unsigned char> archive = readFileBytes(corpus("headers/lz4-stored.lzh"));
  ASSERT_EQ(made.size(), 0x600 + 1 + archive.size() + 12);
  EXPECT_EQ(made[0x600], 0);
  expectTrailer(made, 0x600);
  run = runZsfx({"settings", zsfxPath(path("sfx.exe"))});
  EXPECT_NE(run.out.find("complete: 0\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("title: Zolt SFX\n"), std::string::npos) << run.out;
  run = runZsfx({"test", zsfxPath(path("sfx.exe"))});
  EXPECT_EQ(run.exitCode, 0) << run.err;
}

TEST_F(ZsfxCli, MakeRefusesWhatTheStubCouldNotRead) {
  writeFile(path("stub.exe"), lzhtest::fakeStub());
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
  std::vector<unsigned char> padded = lzhtest::fakeStub();
  padded.resize(padded.size() + 16, 0);
  writeFile(path("padded.exe"), padded);
  run = runZsfx({"make", "-o", zsfxPath(path("c.exe")), "--stub", zsfxPath(path("padded.exe")), "--archive", archive});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_FALSE(fs::exists(path("c.exe")));

  // make writes the language at byte 46 of the stub's DOS header, so a stub that keeps
  // something else there is refused, with or without --lang.
  std::vector<unsigned char> taken = lzhtest::fakeStub();
  taken[46] = 1;
  writeFile(path("taken.exe"), taken);
  run = runZsfx({"make", "-o", zsfxPath(path("e.exe")), "--stub", zsfxPath(path("taken.exe")), "--archive", archive});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("byte 46, where make writes the language, holds 1"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(path("e.exe")));

  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--desktop", "maybe"}, {"--lang", "fr"}}) {
    run = runZsfx({"make", "-o", zsfxPath(path("d.exe")), "--stub", zsfxPath(path("stub.exe")), "--archive", archive,
                   bad[0], bad[1]});
    EXPECT_EQ(run.exitCode, 2) << bad[0];
    EXPECT_NE(run.err.find(bad[0] + " wants"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(path("d.exe"))) << bad[0];
  }
  EXPECT_NE(run.err.find("--lang wants ja, en or auto"), std::string::npos) << run.err;
}

// The stub's language travels in byte 46 of its DOS header, in the copy that make writes:
// the stub on disk keeps its 0, the rest of the output is the same for every language, and
// without --lang the byte stays 0 (Japanese), so such a file is the one --lang ja makes.
TEST_F(ZsfxCli, MakeWritesTheLanguageIntoItsCopyOfTheStub) {
  writeFile(path("stub.exe"), lzhtest::fakeStub());
  const auto make = [&](const std::string& out, const std::vector<std::string>& lang) {
    std::vector<std::string> args{"make", "-o", zsfxPath(path(out)), "--stub", zsfxPath(path("stub.exe")), "--archive",
                                  zsfxPath(corpus("headers/dir-entries.lzh"))};
    args.insert(args.end(), lang.begin(), lang.end());
    return runZsfx(args);
  };
  ZsfxRun run = make("default.exe", {});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::vector<unsigned char> plain = readFileBytes(path("default.exe"));
  run = runZsfx({"settings", zsfxPath(path("default.exe"))});
  EXPECT_NE(run.out.find("shortcut-name: \nlanguage: ja\n"), std::string::npos) << run.out;

  const struct {
    const char* lang;
    unsigned char byte;
    const char* line;
  } cases[] = {{"ja", 0, "language: ja\n"}, {"en", 1, "language: en\n"}, {"auto", 2, "language: auto\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lang);
    run = make("lang.exe", {"--lang", c.lang});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<unsigned char> made = readFileBytes(path("lang.exe"));
    ASSERT_EQ(made.size(), plain.size());
    std::vector<size_t> differences;
    for (size_t i = 0; i < made.size(); ++i) {
      if (made[i] != plain[i]) differences.push_back(i);
    }
    EXPECT_EQ(differences, c.byte == 0 ? std::vector<size_t>{} : std::vector<size_t>{46});
    EXPECT_EQ(made[46], c.byte);
    run = runZsfx({"settings", zsfxPath(path("lang.exe"))});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(c.line), std::string::npos) << run.out;
  }
  EXPECT_EQ(readFileBytes(path("stub.exe")), lzhtest::fakeStub());

  // A byte that no --lang writes: the trailer does not cover the stub, so the file still reads.
  std::vector<unsigned char> odd = plain;
  odd[46] = 7;
  writeFile(path("odd.exe"), odd);
  run = runZsfx({"settings", zsfxPath(path("odd.exe"))});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("language: unknown (7)\n"), std::string::npos) << run.out;
}

// What the stub would fail on, or pass over without a word, is not wrapped: exit 1 and the
// member for a failing member or a skipped method, exit 2 for what is no LZH archive.
// --force wraps each of them anyway, with a warning.
TEST_F(ZsfxCli, MakeRefusesArchivesTheStubWouldFailOnOrSkip) {
  writeFile(path("stub.exe"), lzhtest::fakeStub());
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
  // Names that Windows holds as one file: by case, and by the name rules.
  const auto pair = [](const char* first, const char* second) {
    std::vector<lzhtest::Member> members(2);
    members[0].name = first;
    members[1].name = second;
    members[0].data = lzhtest::bytesOf("one");
    members[1].data = lzhtest::bytesOf("two");
    return lzhtest::encodeArchive(members);
  };
  writeFile(path("case.lzh"), pair("A.txt", "a.txt"));
  writeFile(path("rules.lzh"), pair("a<b.txt", "a_b.txt"));
  const Case cases[] = {
      {path("noise.bin"), 2, "noise.bin"},
      {corpus("headers/crc-mismatch.lzh"), 1, "\"corrupt.txt\""},
      {corpus("headers/unknown-method.lzh"), 1, "\"skip.me\""},
      {path("stub.exe"), 2, "wrap its archive, not the file"},
      {corpus("headers/empty-archive.lzh"), 2, "no member"},
      {path("case.lzh"), 1, "\"A.txt\" and \"a.txt\" are the same file on Windows"},
      {path("rules.lzh"), 1, "\"a<b.txt\" and \"a_b.txt\" are the same file on Windows"},
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
    ASSERT_GT(made.size(), archive.size() + 12);
    EXPECT_TRUE(std::equal(archive.begin(), archive.end(), made.end() - 12 - static_cast<long>(archive.size())))
        << c.archive;
    fs::remove(out);
  }
  // zsfx extract writes both names where the system holds both, and says what Windows does.
  const ZsfxRun run = runZsfx({"extract", zsfxPath(path("case.lzh")), "-C", zsfxPath(path("both"))});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("on Windows the later one replaces the earlier one"), std::string::npos) << run.err;
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

// A download cut anywhere, or of the right length with one bit flipped, is refused as a whole
// by every reading command, before anything is written: as the stub refuses its own file.
TEST_F(ZsfxCli, DamagedDownloadsAreRefusedBeforeAnythingIsWritten) {
  writeFile(path("stub.exe"), lzhtest::fakeStub());
  std::vector<lzhtest::Member> members(5);
  lzhtest::Bytes archive;
  std::vector<size_t> starts;  // of each member in the archive
  for (size_t i = 0; i < members.size(); ++i) {
    members[i].name = "file" + std::to_string(i) + ".bin";
    members[i].data = lzhtest::patternBytes(3000, static_cast<uint32_t>(i + 1));
    starts.push_back(archive.size());
    const lzhtest::Bytes one = lzhtest::encodeMember(members[i]);
    archive.insert(archive.end(), one.begin(), one.end());
  }
  archive.push_back(0);
  writeFile(path("in.lzh"), archive);
  ZsfxRun run = runZsfx({"make", "-o", zsfxPath(path("sfx.exe")), "--stub", zsfxPath(path("stub.exe")), "--archive",
                         zsfxPath(path("in.lzh")), "--title", "T", "--dest", "out"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::vector<unsigned char> made = readFileBytes(path("sfx.exe"));
  const size_t archiveStart = made.size() - 12 - archive.size();
  const size_t third = archiveStart + starts[2];
  const struct {
    const char* what;
    size_t length;  // the file cut to this length; 0: the whole file with bit 0 of flip inverted
    size_t flip;
    const char* said;
  } cases[] = {
      {"cut where the third member's header begins", third, 0, "without an end mark"},
      {"cut inside the third member's header", third + 10, 0, "damaged or cut short"},
      {"cut at 10 %", made.size() / 10, 0, ""},
      {"cut at 50 %", made.size() / 2, 0, ""},
      {"cut at 99 %", made.size() * 99 / 100, 0, ""},
      {"cut inside the settings block", 0x600 + 3, 0, "settings block is cut short"},
      {"one flipped bit in the fourth member's data", 0, archiveStart + starts[3] + 2000, "checksum"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<unsigned char> damaged = made;
    if (c.length != 0) damaged.resize(c.length);
    if (c.flip != 0) damaged[c.flip] ^= 1;
    writeFile(path("damaged.exe"), damaged);
    for (const char* command : {"extract", "test", "list"}) {
      std::vector<std::string> args{command, zsfxPath(path("damaged.exe"))};
      if (std::string(command) == "extract") args.insert(args.end(), {"-C", zsfxPath(path("out"))});
      run = runZsfx(args);
      EXPECT_EQ(run.exitCode, 1) << command << "\n" << run.err;
      EXPECT_NE(run.err.find(c.said), std::string::npos) << command << "\n" << run.err;
      EXPECT_TRUE(run.out.empty()) << command << "\n" << run.out;
      EXPECT_FALSE(fs::exists(path("out"))) << command;
    }
  }

  // A plain archive without its end mark (LArc wrote none) is read with a warning; wrapped,
  // it gets one, and the trailer follows it.
  archive.pop_back();
  writeFile(path("noend.lzh"), archive);
  run = runZsfx({"test", zsfxPath(path("noend.lzh"))});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("ends without an end mark"), std::string::npos) << run.err;
  run = runZsfx({"make", "-o", zsfxPath(path("noend.exe")), "--stub", zsfxPath(path("stub.exe")), "--archive",
                 zsfxPath(path("noend.lzh")), "--no-settings"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::vector<unsigned char> wrapped = readFileBytes(path("noend.exe"));
  ASSERT_EQ(wrapped.size(), 0x600 + 1 + archive.size() + 1 + 12);
  expectTrailer(wrapped, 0x600);
  run = runZsfx({"test", zsfxPath(path("noend.exe"))});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err.find("warning"), std::string::npos) << run.err;
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
  writeFile(path("stub.exe"), lzhtest::fakeStub());
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
  writeFile(path("stub.exe"), lzhtest::fakeStub());
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
