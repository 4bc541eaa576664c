// Archives made by `zsfx pack` as other LZH tools see them (lhasa, 7-Zip, unar), for names
// that are not plain ASCII: these tools read the byte-string name headers, not UTF-16.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/lzh_test_archive.h"
#include "support/zsfx_runner.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kFiles = {"はじめに.txt", "ソフト表示.txt", "café.txt", "日本/データ.bin"};

// Runs a shell command; its standard output, and its exit status in status.
std::string capture(const std::string& command, int& status) {
  std::string out;
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int raw = pclose(pipe);
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// A path as one shell word (the test's paths hold no quote).
std::string q(const fs::path& path) {
  std::string word = "'";
  word += path.string();
  word += '\'';
  return word;
}

class OtherTools : public testing::Test {
 protected:
  void SetUp() override {
    if (zsfxUnderWine()) GTEST_SKIP() << "the other tools read what the native zsfx writes";
    for (const char* tool : {"lsar", "unar", "7zz", "lhasa"}) {
      int status = -1;
      capture(std::string("command -v ") + tool, status);
      if (status != 0) {
        if (std::getenv("CI")) FAIL() << tool << " is not installed (scripts/install-deps.sh)";
        GTEST_SKIP() << tool << " is not installed";
      }
    }
    dir_ = makeTempDir("interop");
    ASSERT_FALSE(dir_.empty());
    src_ = fs::path(dir_) / "src";
    fs::create_directories(src_ / "日本");
    for (size_t i = 0; i < kFiles.size(); ++i) {
      std::string content;
      // The last file is long enough to be packed with -lh7-.
      const int repeats = i + 1 == kFiles.size() ? 5000 : 1;
      for (int r = 0; r < repeats; ++r) content += kFiles[i] + " " + std::to_string(r) + "\n";
      std::ofstream(src_ / fs::u8path(kFiles[i]), std::ios::binary) << content;
    }
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  fs::path pack(const std::string& name, const std::vector<std::string>& options) {
    std::vector<std::string> args = {"pack", (fs::path(dir_) / name).string(), src_.string()};
    args.insert(args.end(), options.begin(), options.end());
    const ZsfxRun run = runZsfx(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return fs::path(dir_) / name;
  }

  // Every file of the folder, with its bytes, exactly where it belongs under out.
  void expectExtracted(const fs::path& out, const std::string& tool) {
    SCOPED_TRACE(tool);
    size_t found = 0;
    for (auto it = fs::recursive_directory_iterator(out); it != fs::recursive_directory_iterator(); ++it)
      if (it->is_regular_file()) ++found;
    EXPECT_EQ(found, kFiles.size());
    for (const std::string& name : kFiles) {
      ASSERT_TRUE(fs::exists(out / fs::u8path(name))) << name;
      EXPECT_EQ(readFileBytes((out / fs::u8path(name)).string()), readFileBytes((src_ / fs::u8path(name)).string()))
          << name;
    }
  }

  std::string dir_;
  fs::path src_;
};

}  // namespace

TEST_F(OtherTools, ListAndExtractUtf8Names) {
  const fs::path archive = pack("a.lzh", {});
  int status = -1;

  std::vector<std::string> listed = lines(capture("lsar " + q(archive), status));
  ASSERT_EQ(status, 0);
  listed.erase(listed.begin());  // "a.lzh: LZH"
  EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()),
            (std::set<std::string>{"café.txt", "はじめに.txt", "ソフト表示.txt", "日本/", "日本/データ.bin"}));

  std::set<std::string> paths;
  for (const std::string& line : lines(capture("7zz l -slt " + q(archive), status)))
    if (line.rfind("Path = ", 0) == 0 && line != "Path = " + archive.string()) paths.insert(line.substr(7));
  EXPECT_EQ(status, 0);
  EXPECT_EQ(paths, (std::set<std::string>{"café.txt", "はじめに.txt", "ソフト表示.txt", "日本", "日本/データ.bin"}));

  // lhasa prints a "?" for each byte it cannot show; all five entries must be there.
  size_t rows = 0;
  for (const std::string& line : lines(capture("lhasa l " + q(archive), status)))
    if (line.rfind("[MS-DOS]", 0) == 0) ++rows;
  EXPECT_EQ(status, 0);
  EXPECT_EQ(rows, 5u);

  const fs::path byLhasa = fs::path(dir_) / "lhasa", by7z = fs::path(dir_) / "7zz", byUnar = fs::path(dir_) / "unar";
  fs::create_directories(byLhasa);
  capture("cd " + q(byLhasa) + " && lhasa x " + q(archive), status);
  EXPECT_EQ(status, 0);
  expectExtracted(byLhasa, "lhasa x");
  capture("7zz x -o" + q(by7z) + " " + q(archive), status);
  EXPECT_EQ(status, 0);
  expectExtracted(by7z, "7zz x");
  capture("unar -q -D -o " + q(byUnar) + " " + q(archive), status);
  EXPECT_EQ(status, 0);
  expectExtracted(byUnar, "unar");

  const ZsfxRun run = runZsfx({"list", archive.string()});
  EXPECT_EQ(run.exitCode, 0);
  for (const std::string& name : kFiles) EXPECT_NE(run.out.find(" " + name + "\n"), std::string::npos) << run.out;
}

// Shift_JIS names: zsfx still shows the exact names (from the UTF-16 headers), and unar
// reads the 932 bytes when every name of the archive is in 932.
TEST_F(OtherTools, CodePage932NamesStillListExactly) {
  fs::remove(src_ / fs::u8path("café.txt"));
  const fs::path archive = pack("sjis.lzh", {"--legacy-names", "932"});
  const ZsfxRun run = runZsfx({"list", archive.string()});
  EXPECT_EQ(run.exitCode, 0);
  for (const char* name : {"はじめに.txt", "ソフト表示.txt", "日本/データ.bin"})
    EXPECT_NE(run.out.find(" " + std::string(name) + "\n"), std::string::npos) << run.out;
  int status = -1;
  std::vector<std::string> listed = lines(capture("lsar " + q(archive), status));
  ASSERT_EQ(status, 0);
  listed.erase(listed.begin());
  EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()),
            (std::set<std::string>{"はじめに.txt", "ソフト表示.txt", "日本/", "日本/データ.bin"}));
}

// A self-extracting file made by zsfx make carries a trailer behind its archive's end mark.
// lhasa and 7-Zip still list and extract the file itself; lsar and unar, which take the file
// for a self-extracting LZH but cannot parse it (with or without the trailer), read the
// archive inside it, trailer and all.
TEST_F(OtherTools, SelfExtractingFileWithItsTrailer) {
  const fs::path stub = fs::path(dir_) / "stub.exe", sfx = fs::path(dir_) / "setup.exe";
  lzhtest::writeFileBytes(stub, lzhtest::fakeStub());
  ZsfxRun run = runZsfx({"make", "-o", sfx.string(), "--stub", stub.string(), "--from", src_.string(), "--no-settings"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::vector<uint8_t> made = lzhtest::readFileBytes(sfx);
  const fs::path inside = fs::path(dir_) / "inside.lzh";  // behind the stub and the 1-byte settings block
  lzhtest::writeFileBytes(inside, std::vector<uint8_t>(made.begin() + 0x601, made.end()));

  int status = -1;
  size_t rows = 0;
  for (const std::string& line : lines(capture("lhasa l " + q(sfx), status)))
    if (line.rfind("[MS-DOS]", 0) == 0) ++rows;
  EXPECT_EQ(status, 0);
  EXPECT_EQ(rows, 5u);
  std::vector<std::string> listed = lines(capture("lsar " + q(inside), status));
  EXPECT_EQ(status, 0);
  EXPECT_EQ(listed.size(), 6u);  // the archive's name, then the five entries
  const struct {
    const char* tool;
    std::string command;
  } extractions[] = {
      {"lhasa x", "lhasa x " + q(sfx)},
      {"7zz x", "7zz x -y " + q(sfx)},
      {"unar", "unar -q -D " + q(inside)},
  };
  for (const auto& e : extractions) {
    const fs::path out = fs::path(dir_) / ("by-" + std::string(e.tool).substr(0, 5));
    fs::create_directories(out);
    capture("cd " + q(out) + " && " + e.command, status);
    EXPECT_EQ(status, 0) << e.tool;
    expectExtracted(out, e.tool);
  }
}
