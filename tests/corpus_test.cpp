// Every archive of the test corpus (tests/corpus/), listed, tested and extracted by zsfx (the host build,
// or zsfx.exe under Wine when ZOLT_ZSFX_EXE is set) and compared with its manifest.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "support/hashes.h"
#include "support/zsfx_runner.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

json loadManifest() {
  std::ifstream in(corpusPath("manifest.json"));
  if (!in) return json::array();
  return json::parse(in)["archives"];
}

std::vector<std::string> archiveNames() {
  std::vector<std::string> names;
  for (const json& archive : loadManifest()) names.push_back(archive["archive"]);
  if (names.empty()) names.push_back("missing");  // one test that reports the missing corpus
  return names;
}

std::string testName(const testing::TestParamInfo<std::string>& info) {
  std::string name = info.param;
  for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

class Corpus : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (zsfxUnderWine() && !fs::exists(std::getenv("ZOLT_ZSFX_EXE"))) {
      if (std::getenv("CI")) FAIL() << "zsfx.exe was not built: " << std::getenv("ZOLT_ZSFX_EXE");
      GTEST_SKIP() << "zsfx.exe is not built (cmake --preset windows)";
    }
    for (const json& archive : loadManifest()) {
      if (archive["archive"] == GetParam()) entry_ = archive;
    }
    ASSERT_FALSE(entry_.is_null()) << "no entry " << GetParam() << " in " << corpusPath("manifest.json");
    archivePath_ = corpusPath(GetParam());
    expect_ = entry_["expect"];
    for (const json& member : entry_["members"]) {
      if (member.contains("ansi_codepage")) codepage_ = std::to_string(member["ansi_codepage"].get<int>());
    }
  }

  std::vector<std::string> withCodepage(std::vector<std::string> args) const {
    if (!codepage_.empty()) {
      args.push_back("--codepage");
      args.push_back(codepage_);
    }
    return args;
  }

  static int64_t expectedTime(const json& member) {
    if (member.contains("unix_time")) return member["unix_time"].get<int64_t>();
    if (member.contains("dos_time_utc")) return member["dos_time_utc"].get<int64_t>();
    return INT64_MIN;
  }

  json entry_;
  std::string archivePath_;
  std::string expect_;
  std::string codepage_;
};

TEST_P(Corpus, ListShowsEveryMemberAsStored) {
  const ZsfxRun run = runZsfx(withCodepage({"list", zsfxPath(archivePath_), "--json"}));
  if (expect_ == "unknown-header") {
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("Unknown header"), std::string::npos) << run.err;
    return;
  }
  if (expect_ == "error") {
    // A damaged archive may list what it can, but never as whole.
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_FALSE(run.err.empty());
    return;
  }
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const json listed = json::parse(run.out);
  const json& members = entry_["members"];
  ASSERT_EQ(listed.size(), members.size()) << run.out;
  for (size_t i = 0; i < members.size(); ++i) {
    const json& want = members[i];
    const json& got = listed[i];
    SCOPED_TRACE(want["stored_path"].get<std::string>());
    EXPECT_EQ(got["path"], want["stored_path"]);
    if (want.contains("method")) EXPECT_EQ(got["method"], want["method"]);
    if (want.contains("size")) EXPECT_EQ(got["original_size"], want["size"]);
    if (want.value("has_crc", true) && want.contains("crc16")) {
      if (want.value("crc_ok", true)) EXPECT_EQ(got["crc16"], want["crc16"]);
    }
    if (!want.value("has_crc", true)) EXPECT_TRUE(got["crc16"].is_null());
    const int64_t time = expectedTime(want);
    if (time != INT64_MIN) EXPECT_EQ(got["unix_time"].get<int64_t>(), time);
  }
}

TEST_P(Corpus, TestVerifiesOrReportsDamage) {
  const ZsfxRun run = runZsfx(withCodepage({"test", zsfxPath(archivePath_)}));
  if (expect_ == "ok" || expect_ == "inside") {
    EXPECT_EQ(run.exitCode, 0) << run.err;
  } else {
    EXPECT_EQ(run.exitCode, 1) << run.err;
  }
  if (expect_ == "crc-error") EXPECT_NE(run.err.find("が壊れています。"), std::string::npos) << run.err;
}

TEST_P(Corpus, ExtractWritesExactlyTheManifest) {
  const std::string outer = makeTempDir("corpus");
  ASSERT_FALSE(outer.empty());
  const std::string dest = outer + "/dest";
  const ZsfxRun run = runZsfx(withCodepage({"extract", zsfxPath(archivePath_), "-C", zsfxPath(dest)}));

  // Nothing is ever written beside the destination folder.
  std::set<std::string> outside;
  for (const auto& item : fs::directory_iterator(outer)) outside.insert(item.path().filename().string());
  EXPECT_EQ(outside, std::set<std::string>{"dest"});

  if (expect_ == "unknown-header") {
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(fs::is_empty(dest));
  } else if (expect_ == "error") {
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_FALSE(run.err.empty());
  } else if (expect_ == "crc-error") {
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("が壊れています。"), std::string::npos) << run.err;
  } else {
    EXPECT_EQ(run.exitCode, 0) << run.err;
  }

  if (expect_ == "inside") {
    size_t files = 0;
    for (const auto& item : fs::recursive_directory_iterator(dest)) files += item.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, entry_["members"].size());
  }

  for (const json& member : entry_["members"]) {
    const std::string stored = member["stored_path"];
    SCOPED_TRACE(stored);
    // A member that fails its CRC is never kept: the run writes it under a temporary name
    // and removes that.
    if (member.value("not_extracted", false) || member.value("skipped", false) || !member.value("crc_ok", true)) {
      EXPECT_FALSE(fs::exists(dest + "/" + stored));
      continue;
    }
    if (!member.contains("output_path")) continue;
    const std::string path = dest + "/" + member["output_path"].get<std::string>();
    if (member.value("directory", false)) {
      EXPECT_TRUE(fs::is_directory(path));
      continue;
    }
    ASSERT_TRUE(fs::is_regular_file(path));
    const std::vector<unsigned char> bytes = readFileBytes(path);
    EXPECT_EQ(bytes.size(), member["size"].get<size_t>());
    if (member.contains("sha256")) EXPECT_EQ(sha256Hex(bytes), member["sha256"]);
    const int64_t time = expectedTime(member);
    if (time != INT64_MIN && member.value("crc_ok", true)) {
      struct stat info;
      ASSERT_EQ(stat(path.c_str(), &info), 0);
      EXPECT_EQ(static_cast<int64_t>(info.st_mtime), time);
    }
  }
  fs::remove_all(outer);
}

INSTANTIATE_TEST_SUITE_P(Archives, Corpus, testing::ValuesIn(archiveNames()), testName);

}  // namespace
