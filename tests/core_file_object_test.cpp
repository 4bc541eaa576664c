#include "core/file_object.h"

#include <gtest/gtest.h>

#include "core/run_observer.h"
#include "support/lzh_test_archive.h"

using namespace lzhtest;

TEST(FileObjectClosed, EveryOperationFailsQuietly) {
  FileObject file;
  uint8_t b = 7;
  WideString s(u"keep");
  EXPECT_FALSE(file.isOpen());
  EXPECT_EQ(file.read(1, &b), -1);
  EXPECT_EQ(file.readByte(&b), -1);
  EXPECT_EQ(file.readCountedString(3, s), -1);
  EXPECT_TRUE(s.equals(u"keep"));
  EXPECT_FALSE(file.write(&b, 1));
  EXPECT_FALSE(file.seek(0, platform::SEEK_FROM_BEGIN));
  EXPECT_EQ(file.tell(), 0);
  file.close();
  file.close();
  EXPECT_EQ(b, 7);
}

TEST(FileObjectReads, EndOfFileAndCountedStrings) {
  ScratchFolder scratch;
  auto file = openBytes(scratch, "f", {'A', 0, 'B', 0, 'C'});
  ASSERT_TRUE(file->isOpen());
  WideString s;
  EXPECT_EQ(file->readCountedString(0, s), 0);
  EXPECT_TRUE(s.hasText());
  EXPECT_EQ(s.length(), 0u);
  EXPECT_EQ(file->readCountedString(2, s), 4);
  EXPECT_TRUE(s.equals(u"AB"));
  EXPECT_EQ(file->tell(), 4);
  // Half a unit left: the count tells the caller the string is short.
  EXPECT_EQ(file->readCountedString(1, s), 1);
  uint8_t b = 0;
  EXPECT_EQ(file->readByte(&b), 0);
  EXPECT_TRUE(file->seek(-1, platform::SEEK_FROM_CURRENT));
  EXPECT_EQ(file->readByte(&b), 1);
  EXPECT_EQ(b, 'C');
  file->close();
  EXPECT_FALSE(file->isOpen());
}

TEST(FileObjectOpen, MissingFileLeavesItClosed) {
  ScratchFolder scratch;
  auto file = openForReading(scratch.path() / "missing");
  EXPECT_FALSE(file->isOpen());
  EXPECT_EQ(file->handle(), platform::kInvalidHandle);
}

TEST(FileObjectWrite, FullDeviceFailsTheWrite) {
  FileObject full;
  full.open(u"/dev/full", platform::GENERIC_WRITE_ACCESS, 0, platform::DISPOSITION_OPEN_EXISTING, 0x80);
  if (!full.isOpen()) GTEST_SKIP() << "/dev/full is not available";
  const uint8_t bytes[16] = {};
  EXPECT_FALSE(full.write(bytes, sizeof bytes));
  EXPECT_EQ(platform::lastError(), static_cast<uint32_t>(ENOSPC));
  full.close();
}

namespace {
struct ErrorRecorder : RunObserver {
  uint32_t code = 0, type = 0;
  void memberAnnounced(const char16_t*) override {}
  void progressPercent(uint32_t) override {}
  void showMessage(const char16_t*, MessageKind) override {}
  void showSystemError(uint32_t c, uint32_t t) override {
    code = c;
    type = t;
  }
  void runEnded(bool) override {}
};
}  // namespace

TEST(SystemErrors, LastErrorGoesToTheObserverAsAWarning) {
  ErrorRecorder recorder;
  platform::setLastError(ENOENT);
  recorder.showLastError();
  EXPECT_EQ(recorder.code, static_cast<uint32_t>(ENOENT));
  EXPECT_EQ(recorder.type, BOX_WARNING);
  quietObserver().showLastError();  // the default observer shows nothing and nothing breaks
}
