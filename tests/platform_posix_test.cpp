// The POSIX platform layer keeps the Win32 semantics the engine is written against.
#include "platform/platform.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "support/lzh_test_archive.h"

namespace fs = std::filesystem;
using namespace lzhtest;

TEST(PlatformPaths, BackslashSeparatesFolders) {
  ScratchFolder scratch;
  CurrentDirectory inside(scratch.path());
  ASSERT_TRUE(platform::createDirectory(u"a"));
  ASSERT_TRUE(platform::createDirectory(u"a\\b"));
  EXPECT_TRUE(fs::is_directory(scratch.path() / "a" / "b"));
  EXPECT_EQ(platform::getFileAttributes(u"a\\b"), platform::ATTRIBUTE_DIRECTORY);
  const platform::FileHandle h =
      platform::openFile(u"a\\b/f.txt", platform::GENERIC_WRITE_ACCESS, 0, platform::DISPOSITION_CREATE_ALWAYS, 0x80);
  ASSERT_TRUE(platform::isOpen(h));
  EXPECT_TRUE(platform::writeFile(h, "xyz", 3));
  platform::closeFile(h);
  EXPECT_EQ(readFileBytes(scratch.path() / "a/b/f.txt"), bytesOf("xyz"));
  EXPECT_EQ(platform::getFileAttributes(u"a/b\\f.txt"), platform::ATTRIBUTE_NORMAL);
  EXPECT_TRUE(platform::deleteFile(u"a\\b\\f.txt"));
  EXPECT_EQ(platform::getFileAttributes(u"a/b/f.txt"), platform::INVALID_ATTRIBUTES);
  EXPECT_EQ(platform::lastError(), static_cast<uint32_t>(ENOENT));
}

TEST(PlatformPaths, NonAsciiNamesRoundTrip) {
  ScratchFolder scratch;
  CurrentDirectory inside(scratch.path());
  ASSERT_TRUE(platform::createDirectory(u"日本語\U0001F600"));
  EXPECT_TRUE(fs::is_directory(scratch.path() / "日本語😀"));
  char16_t buffer[4096];
  const uint32_t n = platform::getCurrentDirectory(buffer, 4096);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(std::u16string(buffer, n), scratch.path().u16string());
}

TEST(PlatformFiles, FoldersAreNotFilesAndDeleteRefusesThem) {
  ScratchFolder scratch;
  CurrentDirectory inside(scratch.path());
  ASSERT_TRUE(platform::createDirectory(u"d"));
  EXPECT_FALSE(platform::isOpen(
      platform::openFile(u"d", platform::GENERIC_READ_ACCESS, 1, platform::DISPOSITION_OPEN_EXISTING, 0x80)));
  EXPECT_FALSE(platform::isOpen(
      platform::openFile(u"d", platform::GENERIC_WRITE_ACCESS, 0, platform::DISPOSITION_CREATE_ALWAYS, 0x80)));
  EXPECT_FALSE(platform::deleteFile(u"d"));
  EXPECT_TRUE(fs::is_directory(scratch.path() / "d"));
  EXPECT_FALSE(platform::createDirectory(u"d"));
  EXPECT_TRUE(platform::isAlreadyExistsError(platform::lastError()));
}

TEST(PlatformFiles, HandleIsNeverZero) {
  ScratchFolder scratch;
  writeFileBytes(scratch.path() / "f", bytesOf("abc"));
  // With standard input closed the next descriptor would be 0, which means "not open".
  const int savedInput = dup(0);
  ASSERT_GE(savedInput, 0);
  close(0);
  const platform::FileHandle h = platform::openFile((scratch.path() / "f").u16string().c_str(),
                                                    platform::GENERIC_READ_ACCESS, 1,
                                                    platform::DISPOSITION_OPEN_EXISTING, 0x80);
  dup2(savedInput, 0);
  close(savedInput);
  ASSERT_TRUE(platform::isOpen(h));
  EXPECT_NE(h, 0);
  char buffer[8] = {};
  EXPECT_EQ(platform::readFile(h, buffer, 8), 3);
  platform::closeFile(h);
}

TEST(PlatformFiles, CreateAlwaysTruncatesAndSeeksAreAbsolute) {
  ScratchFolder scratch;
  const std::u16string path = (scratch.path() / "t").u16string();
  writeFileBytes(scratch.path() / "t", patternBytes(100));
  platform::FileHandle h =
      platform::openFile(path.c_str(), platform::GENERIC_WRITE_ACCESS, 0, platform::DISPOSITION_CREATE_ALWAYS, 0x80);
  platform::closeFile(h);
  EXPECT_EQ(fs::file_size(scratch.path() / "t"), 0u);
  writeFileBytes(scratch.path() / "t", bytesOf("0123456789"));
  h = platform::openFile(path.c_str(), platform::GENERIC_READ_ACCESS, 1, platform::DISPOSITION_OPEN_EXISTING, 0x80);
  int64_t position = -1;
  ASSERT_TRUE(platform::seekFile(h, 7, platform::SEEK_FROM_BEGIN, &position));
  EXPECT_EQ(position, 7);
  ASSERT_TRUE(platform::seekFile(h, -2, platform::SEEK_FROM_CURRENT, &position));
  EXPECT_EQ(position, 5);
  EXPECT_FALSE(platform::seekFile(h, -1, platform::SEEK_FROM_BEGIN, nullptr));
  // Beyond the end is allowed; reading there gives 0 bytes.
  ASSERT_TRUE(platform::seekFile(h, 100, platform::SEEK_FROM_BEGIN, nullptr));
  char c;
  EXPECT_EQ(platform::readFile(h, &c, 1), 0);
  platform::closeFile(h);
  EXPECT_EQ(platform::readFile(platform::kInvalidHandle, &c, 1), -1);
  EXPECT_FALSE(platform::writeFile(platform::kNullHandle, &c, 1));
}

TEST(PlatformFiles, SetFileTimesSetsBothTimes) {
  ScratchFolder scratch;
  writeFileBytes(scratch.path() / "f", bytesOf("x"));
  ASSERT_TRUE(platform::setFileTimes((scratch.path() / "f").u16string().c_str(), -86400));
  struct stat info {};
  ASSERT_EQ(stat((scratch.path() / "f").c_str(), &info), 0);
  EXPECT_EQ(info.st_mtime, -86400);
  EXPECT_EQ(info.st_atime, -86400);
  EXPECT_FALSE(platform::setFileTimes(u"/nonexistent/zolt", 0));
}

TEST(PlatformErrors, TextsAndCodes) {
  char16_t text[256];
  EXPECT_GT(platform::systemErrorText(ENOENT, text, 256), 0u);
  EXPECT_GT(platform::systemErrorText(platform::pathTooLongError(), text, 256), 0u);
  // A tiny buffer is filled, never overrun.
  char16_t tiny[4] = {1, 1, 1, 1};
  EXPECT_EQ(platform::systemErrorText(ENOENT, tiny, 4), 3u);
  EXPECT_EQ(tiny[3], 0);
  platform::setLastError(1234);
  EXPECT_EQ(platform::lastError(), 1234u);
}

TEST(PlatformText, AnsiConversionFollowsTheChosenCodePage) {
  platform::setAnsiCodePage(932);
  EXPECT_EQ(platform::ansiCodePage(), 932u);
  char16_t out[16];
  EXPECT_EQ(platform::ansiToWide("\x95\x5C", nullptr, 0), 2u);
  EXPECT_EQ(platform::ansiToWide("\x95\x5C", out, 16), 2u);
  EXPECT_EQ(out[0], u'表');
  EXPECT_EQ(platform::ansiToWide("abc", out, 2), 0u);  // too small: fails, writes nothing usable
  platform::setAnsiCodePage(1252);
  EXPECT_EQ(platform::ansiToWide("\xE9", out, 16), 2u);
  EXPECT_EQ(out[0], u'é');
  platform::setAnsiCodePage(0);
  EXPECT_EQ(platform::ansiCodePage(), 932u);
}

TEST(PlatformTime, ZoneOffsetIsSecondsWestOfUtc) {
  const char* saved = getenv("TZ");
  const std::string savedValue = saved ? saved : "";
  setenv("TZ", "JST-9", 1);
  EXPECT_EQ(platform::timezoneOffsetSeconds(), -9 * 3600);
  setenv("TZ", "EST5", 1);
  EXPECT_EQ(platform::timezoneOffsetSeconds(), 5 * 3600);
  if (saved) setenv("TZ", savedValue.c_str(), 1); else unsetenv("TZ");
  tzset();
}

TEST(PlatformProcess, ModuleNameAndMemory) {
  char16_t name[4096];
  const uint32_t n = platform::moduleFileName(name, 4096);
  ASSERT_GT(n, 0u);
  EXPECT_NE(std::u16string(name, n).find(u"platform_posix_test"), std::u16string::npos);
  char16_t small[4];
  EXPECT_EQ(platform::moduleFileName(small, 4), 4u);  // cut: the full capacity comes back
  EXPECT_GT(platform::availablePhysicalMemory(), 0u);
  char16_t folder[platform::MAX_PATH_UNITS];
  EXPECT_FALSE(platform::shellFolderPath(platform::CSIDL_PROGRAM_FILES_ID, folder, platform::MAX_PATH_UNITS));
}

TEST(PlatformProcess, CurrentDirectoryReportsTheNeededSize) {
  ScratchFolder scratch;
  CurrentDirectory inside(scratch.path());
  const uint32_t length = static_cast<uint32_t>(scratch.path().u16string().size());
  char16_t small[4];
  EXPECT_EQ(platform::getCurrentDirectory(small, 4), length + 1);
  EXPECT_FALSE(platform::setCurrentDirectory(u"does-not-exist"));
  EXPECT_TRUE(platform::setCurrentDirectory(u"."));
}
