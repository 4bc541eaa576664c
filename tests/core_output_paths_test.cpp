#include "core/output_paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/lzh_test_archive.h"

namespace fs = std::filesystem;
using namespace lzhtest;

namespace {

std::u16string safe(const std::u16string& stored) {
  WideString path(stored.c_str());
  makeSafeMemberPath(path);
  return path.c_str();
}

// Relative, no drive, no climbing component, no device: what every result must be.
void expectContained(const std::u16string& stored, const std::u16string& result) {
  SCOPED_TRACE(std::string(stored.begin(), stored.end()));
  if (result.empty()) return;
  EXPECT_NE(result[0], u'/');
  EXPECT_NE(result[0], u'\\');
  EXPECT_EQ(result.find(u':'), std::u16string::npos);
  size_t begin = 0;
  while (begin <= result.size()) {
    size_t end = result.find_first_of(u"/\\", begin);
    if (end == std::u16string::npos) end = result.size();
    std::u16string part = result.substr(begin, end - begin);
    // Nothing Windows refuses or would silently change.
    EXPECT_EQ(part.find_first_of(u"<>:\"|?*\x01\x02\x09\x0a\x0d\x1f"), std::u16string::npos);
    if (part != u"." && !part.empty()) {
      EXPECT_TRUE(part.back() != u'.' && part.back() != u' ');
    }
    EXPECT_NE(part, u"..");
    std::u16string stem = part.substr(0, part.find(u'.'));
    for (auto& c : stem) c = static_cast<char16_t>(c >= u'a' && c <= u'z' ? c - 32 : c);
    for (const char16_t* device : {u"CON", u"PRN", u"AUX", u"NUL", u"COM1", u"COM9", u"LPT1", u"LPT9"}) {
      EXPECT_NE(stem, device);
    }
    begin = end + 1;
  }
}

}  // namespace

TEST(SafeMemberPath, KnownResults) {
  const std::vector<std::pair<std::u16string, std::u16string>> cases = {
      {u"../../a/b.txt", u"a/b.txt"}, {u"/x/y", u"x/y"},       {u"a/../b", u"a/b"},
      {u"a/../../b", u"a/b"},         {u"C:/x/y", u"x/y"},      {u"C:x", u"x"},
      {u"a:b", u"b"},                 {u"ab:c", u"ab_c"},       {u"./x", u"./x"},
      {u"a/.../b", u"a/___/b"},       {u"dir/", u"dir/"},       {u"../", u""},
      {u"", u""},                     {u"plain.txt", u"plain.txt"}, {u"a/..b/c", u"a/..b/c"},
      {u"file.txt:stream", u"file.txt_stream"},
  };
  for (const auto& [stored, expected] : cases) {
    EXPECT_EQ(safe(stored), expected) << std::string(stored.begin(), stored.end());
  }
}

TEST(SafeMemberPath, BackslashPathsAreMadeRelative) {
  const std::vector<std::pair<std::u16string, std::u16string>> cases = {
      {u"..\\..\\x", u"x"},
      {u"sub\\..\\..\\x", u"sub\\x"},
      {u"C:\\x", u"x"},
      {u"C://x", u"x"},
      {u"D:..\\x", u"x"},
      {u"\\\\server\\share\\x", u"server\\share\\x"},
      {u"\\\\?\\C:\\x", u"x"},
      {u"\\\\.\\C:\\x", u"x"},
      {u"//?/UNC/server/x", u"UNC/server/x"},
      {u"\\x", u"x"},
      {u"ok/./../../../x", u"ok/./x"},
      {u"a\\..", u"a"},
      {u"..", u""},
      {u"a/.. /b", u"a/b"},
      {u"dir\\", u"dir\\"},
  };
  for (const auto& [stored, expected] : cases) {
    const std::u16string result = safe(stored);
    EXPECT_EQ(result, expected) << std::string(stored.begin(), stored.end());
    expectContained(stored, result);
  }
}

TEST(SafeMemberPath, DeviceNamesNeverOpenADevice) {
  const std::vector<std::pair<std::u16string, std::u16string>> cases = {
      {u"CON", u"_CON"},           {u"con.txt", u"_con.txt"},   {u"Nul", u"_Nul"},
      {u"aux.tar.gz", u"_aux.tar.gz"}, {u"dir/PRN/x", u"dir/_PRN/x"}, {u"COM1", u"_COM1"},
      {u"lpt9.log", u"_lpt9.log"}, {u"NUL .txt", u"_NUL .txt"}, {u"\\\\.\\COM1", u"_COM1"},
      {u"CONOUT$", u"_CONOUT$"},   {u"COM0", u"COM0"},          {u"CONSOLE", u"CONSOLE"},
      {u"LPT10", u"LPT10"},        {u"xcon", u"xcon"},          {u"COM\u00B9", u"_COM\u00B9"},
  };
  for (const auto& [stored, expected] : cases) {
    EXPECT_EQ(safe(stored), expected) << std::string(stored.begin(), stored.end());
  }
}

// Names made on other systems that Windows refuses: each becomes a name Windows writes as
// it is given, on every platform alike.
TEST(SafeMemberPath, NamesWindowsRefusesBecomeWritable) {
  const std::vector<std::pair<std::u16string, std::u16string>> cases = {
      {u"what?.txt", u"what_.txt"},
      {u"quote\"x.txt", u"quote_x.txt"},
      {u"a<b>c|d*e", u"a_b_c_d_e"},
      {u"tab\there\x01\x1f.txt", u"tab_here__.txt"},
      {u"dir?/f*.txt", u"dir_/f_.txt"},
      {u"trail.", u"trail_"},
      {u"trail. .", u"trail___"},
      {u"space ", u"space_"},
      {u"dir./x", u"dir_/x"},
      {u"a/ /b", u"a/_/b"},
      {u".../g.txt", u"___/g.txt"},
      {u"a/..../b", u"a/____/b"},
      {u"..a.", u"..a_"},
      // The device prefix comes first, then the characters, then the trailing dots.
      {u"CON.", u"_CON_"},
      {u"nul?", u"nul_"},
      {u"aux.txt:s", u"_aux.txt_s"},
      // What the earlier rules give stays.
      {u"a:b.txt", u"b.txt"},
      {u"./x", u"./x"},
      {u"a/.. /b", u"a/b"},
      {u"\u00e9t\u00e9.txt", u"\u00e9t\u00e9.txt"},
  };
  for (const auto& [stored, expected] : cases) {
    const std::u16string result = safe(stored);
    EXPECT_EQ(result, expected) << std::string(stored.begin(), stored.end());
    expectContained(stored, result);
  }
}

TEST(SafeMemberPath, HostileMixturesAreAlwaysContained) {
  const char16_t* hostile[] = {
      u"../../../../etc/passwd", u"..\\..\\..\\Windows\\System32\\x.dll", u"/../..//..\\\\x",
      u"C:\\..\\..\\x",          u"\\\\?\\UNC\\srv\\share\\..\\..\\x",   u"a/b/../../../../c",
      u"....//....//x",          u"::/::\\x",                             u"C:C:C:x",
      u"/",                      u"\\",                                   u"C:",
      u"a/..\\../b",             u"NUL/../CON/x",                         u"x/ ..  /y",
      u"?:/x",                   u"<\x7f>/. ./.\t/x .",                    u"..../...:/x",
  };
  for (const char16_t* stored : hostile) expectContained(stored, safe(stored));
}

TEST(SafeMemberPath, LongPathsAreNeverCutShort) {
  const std::u16string longName(1000, u'n');
  const std::u16string stored = u"../" + std::u16string(300, u'd') + u"/" + longName + u"." + std::u16string(300, u'e');
  EXPECT_EQ(safe(stored), stored.substr(3));
}

TEST(ParentFolder, Cases) {
  const std::vector<std::pair<std::u16string, std::u16string>> withParent = {
      {u"a/b/", u"a"}, {u"a\\b", u"a"}, {u"\\x", u"\\"}, {u"a/b\\c", u"a/b"}};
  for (const auto& [path, parent] : withParent) {
    WideString p(path.c_str());
    ASSERT_TRUE(parentFolder(p)) << std::string(path.begin(), path.end());
    EXPECT_EQ(std::u16string(p.c_str()), parent);
  }
  for (const char16_t* path : {u"C:\\x", u"C:\\", u"abc", u"", u"/"}) {
    WideString p(path);
    EXPECT_FALSE(parentFolder(p)) << std::string(path, path + wideLength(path));
    EXPECT_TRUE(p.equals(path));
  }
  WideString none;
  EXPECT_FALSE(parentFolder(none));
}

class FolderOutput : public ::testing::Test {
 protected:
  ScratchFolder scratch;
  CurrentDirectory inside{scratch.path()};
};

TEST_F(FolderOutput, CreateFolderChainMakesEveryMissingFolder) {
  EXPECT_TRUE(createFolderChain(u"a/b\\c"));
  EXPECT_TRUE(fs::is_directory("a/b/c"));
  EXPECT_TRUE(createFolderChain(u"a/b/c"));
  writeFileBytes("file", bytesOf("x"));
  EXPECT_TRUE(createFolderChain(u"file"));  // an existing item of any kind counts
  EXPECT_TRUE(createFolderChain(u"x/./y/"));
  EXPECT_TRUE(fs::is_directory("x/y"));
  EXPECT_FALSE(createFolderChain(u"file/sub"));
  EXPECT_FALSE(createFolderChain(u""));
}

TEST_F(FolderOutput, OpenOutputFileCreatesParentsAtEitherSeparator) {
  for (const char16_t* path : {u"sub\\dir\\f.txt", u"sub2/dir/f.txt"}) {
    std::unique_ptr<FileObject> file = openOutputFile(path, platform::GENERIC_WRITE_ACCESS, 0,
                                                      platform::DISPOSITION_CREATE_ALWAYS);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->isOpen());
    EXPECT_TRUE(file->write("ok", 2));
    file->close();
  }
  EXPECT_EQ(readFileBytes("sub/dir/f.txt"), bytesOf("ok"));
  EXPECT_EQ(readFileBytes("sub2/dir/f.txt"), bytesOf("ok"));
  std::unique_ptr<FileObject> top = openOutputFile(u"top.txt", platform::GENERIC_WRITE_ACCESS, 0,
                                                   platform::DISPOSITION_CREATE_ALWAYS);
  ASSERT_NE(top, nullptr);
  EXPECT_TRUE(top->isOpen());
  top->close();
}

TEST_F(FolderOutput, OpenOutputFileFailsWhenAParentCannotBeMade) {
  writeFileBytes("blocker", bytesOf("x"));
  // The chain accepts the existing name; the file inside it cannot be opened.
  std::unique_ptr<FileObject> file = openOutputFile(u"blocker/deeper/f.txt", platform::GENERIC_WRITE_ACCESS, 0,
                                                    platform::DISPOSITION_CREATE_ALWAYS);
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(platform::lastError(), static_cast<uint32_t>(ENOTDIR));
}

TEST_F(FolderOutput, OverlongNamesFailWithTooLong) {
  const std::u16string name(300, u'n');
  std::unique_ptr<FileObject> file = openOutputFile(name.c_str(), platform::GENERIC_WRITE_ACCESS, 0,
                                                    platform::DISPOSITION_CREATE_ALWAYS);
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(file->isOpen());
  EXPECT_EQ(platform::lastError(), platform::pathTooLongError());
}
