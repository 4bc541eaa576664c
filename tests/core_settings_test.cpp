#include "core/settings.h"

#include <gtest/gtest.h>

#include <string>

#include "support/lzh_test_archive.h"

using namespace lzhtest;

namespace {

void putString(Bytes& out, const std::u16string& s) {
  out.push_back(static_cast<uint8_t>(s.size()));
  for (char16_t c : s) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
}

struct Block {
  std::u16string title, destination, target, program, name;
  uint8_t programFilesBase = 0, startMenu = 0, desktop = 0, sendTo = 0;

  Bytes bytes() const {
    Bytes out{1};
    putString(out, title);
    out.push_back(programFilesBase);
    putString(out, destination);
    putString(out, target);
    out.push_back(startMenu);
    out.push_back(desktop);
    out.push_back(sendTo);
    putString(out, program);
    putString(out, name);
    return out;
  }
};

class SettingsBlock : public ::testing::Test {
 protected:
  // Reads block followed by a marker byte 0xAB that must be the next byte afterwards.
  bool read(const Bytes& block) {
    Bytes file = block;
    file.push_back(0xAB);
    archive = openBytes(scratch, "payload", file);
    return readSettings(*archive, settings);
  }
  uint8_t nextByte() {
    uint8_t b = 0;
    EXPECT_EQ(archive->readByte(&b), 1);
    return b;
  }
  std::u16string cwd() { return currentDirectoryPath().c_str(); }

  ScratchFolder scratch;
  std::unique_ptr<FileObject> archive;
  SfxSettings settings;
};

}  // namespace

TEST_F(SettingsBlock, MarkerZeroIsOneByteOfDefaults) {
  ASSERT_TRUE(read({0}));
  EXPECT_EQ(nextByte(), 0xAB);
  EXPECT_EQ(settings.complete, 0);
  EXPECT_TRUE(settings.title.equals(u"Zolt SFX"));
  EXPECT_EQ(std::u16string(settings.destination.c_str()), cwd());
  EXPECT_FALSE(settings.shortcutTarget.hasText());
  EXPECT_FALSE(settings.programToRun.hasText());
  EXPECT_FALSE(settings.shortcutName.hasText());
  EXPECT_EQ(settings.startMenuOption, 0);
}

TEST_F(SettingsBlock, AllEmptyFieldsAreTenBytes) {
  const Bytes block = Block{}.bytes();
  ASSERT_EQ(block.size(), 10u);
  ASSERT_TRUE(read(block));
  EXPECT_EQ(nextByte(), 0xAB);
  EXPECT_EQ(settings.complete, 1);
  EXPECT_TRUE(settings.title.equals(u"Zolt SFX"));
  EXPECT_EQ(std::u16string(settings.destination.c_str()), cwd());
  EXPECT_TRUE(settings.shortcutTarget.hasText());
  EXPECT_TRUE(settings.shortcutTarget.equals(u""));
  EXPECT_TRUE(settings.programToRun.hasText());
  EXPECT_TRUE(settings.shortcutName.hasText());
}

TEST_F(SettingsBlock, FieldsLandInTheirPlaces) {
  Block b;
  b.title = u"インストーラ";
  b.destination = u"C:\\Tools";
  b.programFilesBase = 1;
  b.target = u"bin\\app.exe";
  b.startMenu = 3;
  b.desktop = 2;
  b.sendTo = 1;
  b.program = u"readme.txt";
  b.name = u"App";
  const Bytes block = b.bytes();
  EXPECT_EQ(block.size(), 10u + 2 * (6 + 8 + 11 + 10 + 3));
  ASSERT_TRUE(read(block));
  EXPECT_EQ(nextByte(), 0xAB);
  EXPECT_EQ(settings.complete, 1);
  EXPECT_TRUE(settings.title.equals(u"インストーラ"));
  // A drive letter keeps the destination as written, whatever the base byte says.
  EXPECT_TRUE(settings.destination.equals(u"C:\\Tools"));
  EXPECT_TRUE(settings.shortcutTarget.equals(u"bin\\app.exe"));
  EXPECT_EQ(settings.startMenuOption, 3);
  EXPECT_EQ(settings.desktopOption, 2);
  EXPECT_EQ(settings.sendToOption, 1);
  EXPECT_TRUE(settings.programToRun.equals(u"readme.txt"));
  EXPECT_TRUE(settings.shortcutName.equals(u"App"));
}

TEST_F(SettingsBlock, RelativeDestinationJoinsTheBaseWithOneBackslash) {
  Block b;
  b.destination = u"Tools";
  ASSERT_TRUE(read(b.bytes()));
  EXPECT_EQ(std::u16string(settings.destination.c_str()), cwd() + u"\\Tools");

  SfxSettings rooted;
  b.destination = u"\\Data";
  archive = openBytes(scratch, "rooted", b.bytes());
  ASSERT_TRUE(readSettings(*archive, rooted));
  EXPECT_EQ(std::u16string(rooted.destination.c_str()), cwd() + u"\\\\Data");
}

TEST_F(SettingsBlock, ProgramFilesBaseWithoutAShellFolderIsRootedOnTheDrive) {
  // Outside Windows there is no Program Files folder: the base is empty and gets the one
  // backslash, as on a system that cannot locate the folder.
  Block b;
  b.programFilesBase = 1;
  b.destination = u"Tools\\App";
  ASSERT_TRUE(read(b.bytes()));
  EXPECT_TRUE(settings.destination.equals(u"\\Tools\\App"));
}

TEST_F(SettingsBlock, LongestStringsAreRead) {
  Block b;
  b.title = std::u16string(255, u'T');
  b.name = std::u16string(255, u'N');
  ASSERT_TRUE(read(b.bytes()));
  EXPECT_EQ(nextByte(), 0xAB);
  EXPECT_EQ(settings.title.length(), 255u);
  EXPECT_EQ(settings.shortcutName.length(), 255u);
}

TEST_F(SettingsBlock, EveryTruncationFails) {
  Block b;
  b.title = u"Title";
  b.destination = u"D:\\x";
  b.target = u"t.exe";
  b.program = u"p";
  b.name = u"nm";
  const Bytes full = b.bytes();
  for (size_t cut = 0; cut < full.size(); ++cut) {
    SfxSettings partial;
    archive = openBytes(scratch, "cut", Bytes(full.begin(), full.begin() + static_cast<long>(cut)));
    EXPECT_FALSE(readSettings(*archive, partial)) << "cut at " << cut;
    EXPECT_EQ(partial.complete, 0) << "cut at " << cut;
  }
  SfxSettings whole;
  archive = openBytes(scratch, "whole", full);
  EXPECT_TRUE(readSettings(*archive, whole));
}

TEST_F(SettingsBlock, ClosedFileFails) {
  FileObject closed;
  EXPECT_FALSE(readSettings(closed, settings));
}

TEST(CurrentDirectoryPath, LongCurrentDirectoryIsKeptWhole) {
  ScratchFolder scratch;
  std::filesystem::path deep = scratch.path();
  for (int i = 0; i < 6; ++i) deep /= std::string(60, static_cast<char>('a' + i));
  std::filesystem::create_directories(deep);
  CurrentDirectory inside(deep);
  const WideString path = currentDirectoryPath();
  EXPECT_GT(path.length(), 260u);
  EXPECT_EQ(std::u16string(path.c_str()), deep.u16string());
}
