// The extraction run end to end: crafted archives behind a settings block, extracted into
// a scratch folder, with a run observer that records what the user would have seen.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "core/app.h"
#include "core/extract.h"
#include "core/free_space.h"
#include "core/payload_check.h"
#include "core/run_observer.h"
#include "support/lzh_test_archive.h"

namespace fs = std::filesystem;
using namespace lzhtest;

namespace {

struct RecordingObserver : RunObserver {
  std::vector<std::u16string> announced;
  std::vector<uint32_t> percents;
  std::vector<std::u16string> messages;
  std::vector<MessageKind> kinds;
  std::vector<uint32_t> systemErrors;
  std::vector<std::u16string> extracted;  // what the log would call OK
  int ended = 0;
  bool endedAborted = false;
  // The run to abort when this member is announced (as the abort button does).
  ExtractionRun* run = nullptr;
  std::u16string abortAt;

  void memberAnnounced(const char16_t* storedPath) override {
    announced.emplace_back(storedPath);
    if (!abortAt.empty() && abortAt == storedPath) run->abort();
  }
  void progressPercent(uint32_t percent) override { percents.push_back(percent); }
  void showMessage(const char16_t* text, MessageKind kind) override {
    messages.emplace_back(text);
    kinds.push_back(kind);
  }
  void showSystemError(uint32_t code, uint32_t) override { systemErrors.push_back(code); }
  void memberExtracted(const char16_t* writtenPath) override { extracted.emplace_back(writtenPath); }
  void runEnded(bool aborted) override {
    ++ended;
    endedAborted = aborted;
  }
};

class Extraction : public ::testing::Test {
 protected:
  void SetUp() override {
    destination = scratch.path() / "out";
    fs::create_directory(destination);
    observer.run = &app.run;
  }

  // Writes settings block + archive to a file, opens it as the archive of app, makes the
  // destination the current directory and runs the worker.
  void run(const Bytes& archive) {
    open(archive);
    CurrentDirectory inDestination(destination);
    app.destinationFolder.assign(destination.u16string().c_str());
    extractionWorker(&app);
  }
  // The same up to the survey that comes before any run.
  void open(const Bytes& archive) {
    Bytes file = emptySettingsBlock();
    file.insert(file.end(), archive.begin(), archive.end());
    const fs::path archivePath = scratch.path() / "archive.bin";
    writeFileBytes(archivePath, file);
    app.archiveFile = std::make_unique<FileObject>();
    app.archiveFile->open(archivePath.u16string().c_str(), platform::GENERIC_READ_ACCESS, platform::SHARE_READ,
                          platform::DISPOSITION_OPEN_EXISTING, platform::ATTRIBUTE_NORMAL);
    ASSERT_TRUE(app.archiveFile->isOpen());
    ASSERT_TRUE(readSettings(*app.archiveFile, app.settings));
    app.archiveStart = app.archiveFile->tell();
    surveyPayload(app, app.payload);
  }

  Member stored(const std::string& name, const Bytes& data, int level = 2) {
    Member m;
    m.level = level;
    m.name = name;
    m.data = data;
    m.rawTime = level == 2 ? 1700000000u : 0;
    return m;
  }

  ScratchFolder scratch;
  fs::path destination;
  RecordingObserver observer;
  SfxApp app{observer};
};

std::vector<std::string> filesUnder(const fs::path& root) {
  std::vector<std::string> out;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    out.push_back(fs::relative(entry.path(), root).generic_string() + (entry.is_directory() ? "/" : ""));
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

TEST_F(Extraction, StoredMembersLandWithTheirBytesAndTimes) {
  const Bytes small = bytesOf("hello");
  const Bytes big = patternBytes(5000);  // three chunks: 2048 + 2048 + 904
  Member second = stored("big.bin", big);
  second.method = "-lz4-";
  run(encodeArchive({stored("a.txt", small), second}));

  // Times first: reading the files afterwards may move their access time.
  struct stat info {};
  ASSERT_EQ(stat((destination / "big.bin").c_str(), &info), 0);
  EXPECT_EQ(info.st_mtime, 1700000000);
  EXPECT_EQ(info.st_atime, 1700000000);
  EXPECT_EQ(readFileBytes(destination / "a.txt"), small);
  EXPECT_EQ(readFileBytes(destination / "big.bin"), big);
  EXPECT_EQ(observer.announced, (std::vector<std::u16string>{u"a.txt", u"big.bin"}));
  EXPECT_TRUE(observer.messages.empty());
  EXPECT_EQ(app.errorFlag, 0);
  EXPECT_EQ(observer.ended, 1);
  EXPECT_FALSE(observer.endedAborted);
  ASSERT_FALSE(observer.percents.empty());
  EXPECT_EQ(observer.percents.back(), 100u);
  EXPECT_EQ(observer.extracted, (std::vector<std::u16string>{u"a.txt", u"big.bin"}));
}

TEST_F(Extraction, EmptyArchiveEndsAtOnce) {
  run(Bytes{0});
  EXPECT_TRUE(observer.announced.empty());
  EXPECT_TRUE(observer.percents.empty());
  EXPECT_EQ(observer.ended, 1);
  EXPECT_EQ(app.errorFlag, 0);
  EXPECT_TRUE(filesUnder(destination).empty());
}

TEST_F(Extraction, UnknownMethodIsSkippedAndCounted) {
  Member odd = stored("skip.me", patternBytes(3000));
  odd.method = "-pm2-";
  run(encodeArchive({odd, stored("after.txt", bytesOf("after"))}));
  EXPECT_EQ(filesUnder(destination), (std::vector<std::string>{"after.txt"}));
  EXPECT_EQ(observer.announced.size(), 2u);
  EXPECT_TRUE(observer.messages.empty());
  EXPECT_EQ(app.run.doneBytes(), 3005u);
  EXPECT_EQ(app.errorFlag, 0);
}

TEST_F(Extraction, UnixLinkEntriesAreSkippedAndLaterMembersStayInside) {
  // LHa for Unix stores links as directory entries "name|target". None is made, whatever the
  // target; a file member under a link's name is an ordinary path inside the destination.
  auto link = [&](const std::string& stored) {
    Member m = this->stored("", {});
    m.method = "-lhd-";
    m.ext = {nameExt(stored)};
    return m;
  };
  Member inLevel1 = stored("l1|../../up", {}, 1);
  inLevel1.method = "-lhd-";
  Member underDirectory = link("deep|target");
  underDirectory.ext.insert(underDirectory.ext.begin(), directoryExt("sub\xFF"));
  run(encodeArchive({link("a|b"), link("a|../x"), link("evil|/abs"), inLevel1, underDirectory,
                     stored("evil/passwd", bytesOf("mine")), stored("a/inside.txt", bytesOf("in"))}));
  EXPECT_EQ(filesUnder(destination),
            (std::vector<std::string>{"a/", "a/inside.txt", "evil/", "evil/passwd"}));
  EXPECT_EQ(readFileBytes(destination / "evil" / "passwd"), bytesOf("mine"));
  EXPECT_FALSE(fs::is_symlink(destination / "evil"));
  EXPECT_EQ(observer.announced.size(), 7u);
  EXPECT_TRUE(observer.messages.empty());
  EXPECT_EQ(app.errorFlag, 0);
}

TEST_F(Extraction, DirectoryEntriesCreateFoldersWithoutDecoding) {
  Member dir;
  dir.method = "-lhd-";
  dir.ext = {directoryExt("tree\xFFleaf\xFF")};
  Member inside = stored("in.txt", bytesOf("x"));
  inside.ext = {directoryExt("tree\xFFleaf\xFF")};
  run(encodeArchive({dir, inside}));
  EXPECT_EQ(filesUnder(destination), (std::vector<std::string>{"tree/", "tree/leaf/", "tree/leaf/in.txt"}));
  EXPECT_EQ(observer.announced[0], u"tree/leaf/");
  EXPECT_TRUE(observer.messages.empty());
}

TEST_F(Extraction, FoldersOfAMemberAreCreatedWithoutADirectoryEntry) {
  Member deep = stored("x.bin", bytesOf("deep"));
  deep.ext = {directoryExt("deep/er/")};
  Member dosStyle = stored("sub\\dir\\f.txt", bytesOf("dos"), 0);
  run(encodeArchive({deep, dosStyle}));
  EXPECT_EQ(readFileBytes(destination / "deep/er/x.bin"), bytesOf("deep"));
  EXPECT_EQ(readFileBytes(destination / "sub/dir/f.txt"), bytesOf("dos"));
  EXPECT_EQ(app.errorFlag, 0);
}

// Version 2 over an installed version 1: the third of five members fails, in each way a
// member can. Members 1 and 2 hold the new content, the third's target what it held before
// (its broken data is never kept), 4 and 5 the old content, and no temporary file is left.
TEST_F(Extraction, AFailingMemberLeavesItsTargetAsItWas) {
  const auto name = [](int i) { return "file" + std::to_string(i) + ".txt"; };
  const auto oldContent = [](int i) { return bytesOf("version 1 of " + std::to_string(i)); };
  const auto newContent = [](int i) { return patternBytes(3000, static_cast<uint32_t>(i + 7)); };
  const struct {
    const char* what;
    const char16_t* said;  // in the one message; null: no message (the abort)
  } cases[] = {
      {"crc", u"ファイル file2.txt が壊れています。"},
      {"damaged", u"ファイル file2.txt が壊れています。"},
      {"read-only", u"ファイル file2.txt を作成できません。\n"},
      {"folder", u"file2.txt を解凍できません。同名のフォルダが存在します。"},
      {"file-where-a-folder-goes", u"フォルダ file2.txt/ を作成できません。\n同名のファイルが存在します。"},
      {"abort", nullptr},  // last: an aborted run stays aborted
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string what = c.what;
    fs::remove_all(destination);
    fs::create_directory(destination);
    for (int i = 0; i < 5; ++i) {
      if (i == 2 && what == "folder") {
        fs::create_directory(destination / name(i));
      } else {
        writeFileBytes(destination / name(i), oldContent(i));
      }
    }
    if (what == "read-only") fs::permissions(destination / name(2), fs::perms::owner_read | fs::perms::group_read);
    std::vector<Member> members;
    for (int i = 0; i < 5; ++i) members.push_back(stored(name(i), newContent(i)));
    if (what == "crc") members[2].crc = 0x1234;
    if (what == "damaged") members[2].method = "-lh5-";
    if (what == "file-where-a-folder-goes") {
      members[2] = stored("", {});
      members[2].method = "-lhd-";
      members[2].ext = {directoryExt(name(2) + "/")};
    }
    observer = RecordingObserver();
    observer.run = &app.run;
    if (what == "abort") observer.abortAt = u"file2.txt";
    app.errorFlag = 0;
    run(encodeArchive(members));

    for (int i = 0; i < 5; ++i) {
      if (i == 2 && what == "folder") {
        EXPECT_TRUE(fs::is_directory(destination / name(i)));
      } else {
        EXPECT_EQ(readFileBytes(destination / name(i)), i < 2 ? newContent(i) : oldContent(i)) << name(i);
      }
    }
    for (const std::string& left : filesUnder(destination)) {
      EXPECT_EQ(left.find(".zsfx-part"), std::string::npos) << left;
    }
    EXPECT_EQ(observer.extracted, (std::vector<std::u16string>{u"file0.txt", u"file1.txt"}));
    EXPECT_EQ(app.errorFlag, 1);
    EXPECT_EQ(observer.endedAborted, what == "abort");
    EXPECT_TRUE(observer.systemErrors.empty());
    if (c.said == nullptr) {
      EXPECT_TRUE(observer.messages.empty());
    } else {
      ASSERT_EQ(observer.messages.size(), 1u);
      EXPECT_EQ(observer.messages[0].rfind(c.said, 0), 0u) << std::string(observer.messages[0].begin(), observer.messages[0].end());
      EXPECT_GT(observer.messages[0].size(), std::u16string(c.said).size() - 1);
    }
    fs::permissions(destination / name(2), fs::perms::owner_all, fs::perm_options::add);
  }
}

// A temporary file left by a process killed outright is written over, and goes, when the
// same file runs again; a suffix some member ends with is never used.
TEST_F(Extraction, TemporaryNamesNeverLandOnAMemberOrALeftover) {
  // A member ends with the first suffix, so this file's temporary names take the second.
  writeFileBytes(destination / "a.txt.zsfx-part1", bytesOf("left by a killed run"));
  run(encodeArchive({stored("a.txt", bytesOf("new")), stored("b.txt.zsfx-part", bytesOf("a member")),
                     stored("b.txt", bytesOf("b"))}));
  EXPECT_EQ(filesUnder(destination), (std::vector<std::string>{"a.txt", "b.txt", "b.txt.zsfx-part"}));
  EXPECT_EQ(readFileBytes(destination / "b.txt.zsfx-part"), bytesOf("a member"));
  EXPECT_EQ(readFileBytes(destination / "b.txt"), bytesOf("b"));
  EXPECT_EQ(app.errorFlag, 0);
}

TEST_F(Extraction, MemberWithoutCrcIsNotCompared) {
  Member plain = stored("nocrc.txt", bytesOf("unchecked"), 0);
  plain.withCrc = false;
  plain.rawTime = (20u << 25) | (3u << 21) | (1u << 16);  // 2000-03-01 00:00:00
  run(encodeArchive({plain}));
  EXPECT_EQ(readFileBytes(destination / "nocrc.txt"), bytesOf("unchecked"));
  EXPECT_EQ(app.errorFlag, 0);
}

TEST_F(Extraction, TruncatedMemberFailsAsDamaged) {
  Member cut = stored("cut.bin", patternBytes(4000));
  cut.withCrc = false;
  Bytes archive = encodeArchive({cut}, false);
  archive.resize(archive.size() - 1500);
  run(archive);
  ASSERT_EQ(observer.messages.size(), 1u);
  EXPECT_EQ(observer.messages[0], u"ファイル cut.bin が壊れています。");
  EXPECT_EQ(app.errorFlag, 1);
}

TEST_F(Extraction, TruncatedHeaderlessLevel0MemberFailsToo) {
  // Level 0 without CRC: only the short read can tell that the member is damaged.
  Member cut = stored("cut0.bin", patternBytes(100), 0);
  cut.withCrc = false;
  Bytes archive = encodeArchive({cut}, false);
  archive.resize(archive.size() - 10);
  run(archive);
  EXPECT_EQ(app.errorFlag, 1);
  ASSERT_EQ(observer.messages.size(), 1u);
}

TEST_F(Extraction, AbortDeletesThePartialFileAndKeepsCompletedOnes) {
  observer.abortAt = u"second.bin";
  run(encodeArchive({stored("first.txt", bytesOf("done")), stored("second.bin", patternBytes(10000)),
                     stored("third.txt", bytesOf("never"))}));
  EXPECT_EQ(filesUnder(destination), (std::vector<std::string>{"first.txt"}));
  EXPECT_EQ(observer.announced.size(), 2u);
  EXPECT_TRUE(observer.endedAborted);
  EXPECT_EQ(app.errorFlag, 1);
  EXPECT_TRUE(observer.messages.empty());
}

TEST_F(Extraction, AbortAfterTheLastFileLeavesNoPathToDelete) {
  // The abort comes while only a directory entry remains: the completed file must not be
  // named as the partial one, and the folder is still created.
  Member dir;
  dir.method = "-lhd-";
  dir.ext = {directoryExt("later/")};
  observer.abortAt = u"later/";
  run(encodeArchive({stored("kept.txt", bytesOf("kept")), dir}));
  EXPECT_EQ(filesUnder(destination), (std::vector<std::string>{"kept.txt", "later/"}));
  EXPECT_TRUE(observer.endedAborted);
}

TEST_F(Extraction, HostilePathsStayInsideTheDestination) {
  std::vector<Member> members;
  const char* names[] = {"../../e1.txt", "/abs/e2.txt", "C:/e3.txt", "C:\\e4.txt", "..\\..\\e5.txt",
                         "a/../../e6.txt", "\\\\server\\share\\e7.txt", "C://e8.txt", "sub\\..\\..\\e9.txt",
                         "D:..\\e11.txt", "\\e12.txt", "NUL", "aux.txt"};
  for (const char* name : names) members.push_back(stored(name, bytesOf(name), 0));
  run(encodeArchive(members));
  EXPECT_EQ(app.errorFlag, 0);
  for (const auto& entry : fs::recursive_directory_iterator(scratch.path())) {
    const std::string where = fs::relative(entry.path(), scratch.path()).generic_string();
    EXPECT_TRUE(where == "archive.bin" || where.rfind("out", 0) == 0) << where;
  }
  EXPECT_TRUE(fs::exists(destination / "e1.txt"));
  EXPECT_TRUE(fs::exists(destination / "server/share/e7.txt"));
  EXPECT_TRUE(fs::exists(destination / "_NUL"));
  EXPECT_TRUE(fs::exists(destination / "_aux.txt"));
}

TEST_F(Extraction, RejectedHeaderFailsTheRunWithItsMessage) {
  Member r23 = stored("r23.txt", bytesOf("x"), 0);
  Bytes archive = encodeArchive({stored("ok.txt", bytesOf("fine")), r23});
  // Second header: make R = 23 by growing L by one (the name length stays).
  const size_t second = encodeMember(stored("ok.txt", bytesOf("fine"))).size();
  archive[second] = static_cast<uint8_t>(archive[second] + 1);
  run(archive);
  EXPECT_TRUE(fs::exists(destination / "ok.txt"));
  ASSERT_EQ(observer.messages.size(), 1u);
  EXPECT_EQ(observer.messages[0], u"Unknown header");
  EXPECT_EQ(observer.kinds[0], MessageKind::unknownHeader);
  EXPECT_EQ(app.errorFlag, 1);
}

TEST_F(Extraction, FileMemberOverAFolderWarnsThenFails) {
  fs::create_directory(destination / "clash");
  run(encodeArchive({stored("clash", bytesOf("x"))}));
  ASSERT_EQ(observer.messages.size(), 1u);
  EXPECT_EQ(observer.messages[0], u"clash を解凍できません。同名のフォルダが存在します。");
  EXPECT_TRUE(observer.systemErrors.empty());
  EXPECT_EQ(app.errorFlag, 1);
}

TEST_F(Extraction, ExistingFolderForADirectoryEntryIsAccepted) {
  fs::create_directory(destination / "there");
  Member dir;
  dir.method = "-lhd-";
  dir.ext = {directoryExt("there/")};
  run(encodeArchive({dir, stored("next.txt", bytesOf("n"))}));
  EXPECT_TRUE(observer.messages.empty());
  EXPECT_TRUE(fs::exists(destination / "next.txt"));
  EXPECT_EQ(app.errorFlag, 0);
}

TEST_F(Extraction, ExistingFileIsReplaced) {
  writeFileBytes(destination / "old.txt", patternBytes(9000));
  run(encodeArchive({stored("old.txt", bytesOf("new"))}));
  EXPECT_EQ(readFileBytes(destination / "old.txt"), bytesOf("new"));
}

TEST_F(Extraction, UncreatableOutputFailsWithTheSystemError) {
  // A file where the member needs a folder: the folder chain accepts the existing name, and
  // creating the file inside it fails.
  writeFileBytes(destination / "blocker", bytesOf("file"));
  run(encodeArchive({stored("blocker/f.txt", bytesOf("x"), 0), stored("later.txt", bytesOf("y"))}));
  ASSERT_EQ(observer.messages.size(), 1u);
  EXPECT_EQ(observer.messages[0], u"ファイル blocker/f.txt を作成できません。\n" +
                                      std::u16string(systemErrorText(ENOTDIR).c_str()));
  EXPECT_EQ(app.errorFlag, 1);
  EXPECT_FALSE(fs::exists(destination / "later.txt"));
}

TEST_F(Extraction, DamagedCompressedMemberFailsClearly) {
  // Bytes that are no -lh5- stream: the member fails and names its file.
  Member packed = stored("packed.bin", patternBytes(100));
  packed.method = "-lh5-";
  run(encodeArchive({packed}));
  ASSERT_FALSE(observer.messages.empty());
  EXPECT_NE(observer.messages[0].find(u"packed.bin"), std::u16string::npos);
  EXPECT_EQ(app.errorFlag, 1);
}

TEST_F(Extraction, PackedSizeAbove2GiBSkipsForward) {
  // An unknown-method member claiming 2^31 + 10 packed bytes: the next header is searched
  // far ahead (past the end of the file), so the run ends there and never re-reads the start.
  Member huge = stored("huge.bin", {});
  huge.method = "-zz9-";
  Bytes archive = encodeMember(huge);
  // packed size field of a level-2 header is at offset 7.
  const uint32_t claimed = 0x8000000Au;
  for (int i = 0; i < 4; ++i) archive[7 + i] = static_cast<uint8_t>(claimed >> (8 * i));
  Bytes tail = encodeArchive({stored("after.txt", bytesOf("a"))});
  archive.insert(archive.end(), tail.begin(), tail.end());
  run(archive);
  EXPECT_EQ(observer.announced, (std::vector<std::u16string>{u"huge.bin"}));
  EXPECT_EQ(app.errorFlag, 0);
}

TEST_F(Extraction, PathTooLongForTheSystemFailsItsMember) {
  // A name of 300 units: too long for a Linux folder entry, so the member fails with the
  // system's "file name too long" instead of being cut to another name.
  Member longName = stored("", bytesOf("x"));
  longName.ext = {unicodeNameExt(std::u16string(300, u'n') + u".txt")};
  run(encodeArchive({longName, stored("later.txt", bytesOf("y"))}));
  ASSERT_EQ(observer.messages.size(), 1u);
  EXPECT_NE(observer.messages[0].find(std::u16string(300, u'n') + u".txt を作成できません。\n" +
                                      std::u16string(systemErrorText(platform::pathTooLongError()).c_str())),
            std::u16string::npos);
  EXPECT_EQ(app.errorFlag, 1);
  EXPECT_TRUE(filesUnder(destination).empty());
}

TEST_F(Extraction, CorruptedTextShowsTheWholePath) {
  const WideString longPath(std::u16string(400, u'p').c_str());
  const WideString text = corruptedFileText(RunTexts(), longPath);
  EXPECT_EQ(std::u16string(text.c_str()), u"ファイル " + std::u16string(400, u'p') + u" が壊れています。");
}

// The room a run needs before it writes: every member, less the files it replaces, plus the
// largest member's copy beside its target. The figures go to the user in MB.
TEST_F(Extraction, SpaceNeededCountsReplacedFilesAndTheLargestMember) {
  fs::create_directory(destination / "sub");
  writeFileBytes(destination / "sub" / "old.bin", patternBytes(1000));
  fs::create_directory(destination / "big.bin");  // a folder replaces nothing
  Member dir;
  dir.method = "-lhd-";
  dir.ext = {directoryExt("sub/")};
  Member replacing = stored("sub/old.bin", patternBytes(3000));
  open(encodeArchive({dir, replacing, stored("big.bin", patternBytes(5000))}));
  const SpaceNeed need = measureSpaceNeed(app, app.payload, WideString(destination.u16string().c_str()));
  EXPECT_EQ(need.needed, 3000u + 5000u - 1000u + 5000u);
  EXPECT_TRUE(need.known);
  // A folder that does not exist yet is measured on its nearest existing parent.
  const SpaceNeed below = measureSpaceNeed(app, app.payload, WideString((destination / "new" / "deeper").u16string().c_str()));
  EXPECT_EQ(below.needed, 3000u + 5000u + 5000u);
  EXPECT_TRUE(below.known);
  SpaceNeed shown;
  shown.needed = 5'100'001;
  shown.available = 4'099'999;
  EXPECT_EQ(std::u16string(diskSpaceText(RunTexts(), shown).c_str()),
            u"ディスクの空き容量が足りません。\n必要な空き容量: 5.2 MB\n現在の空き容量: 4.0 MB");
  RunTexts english;
  english.use(Language::english);
  EXPECT_EQ(std::u16string(diskSpaceText(english, shown).c_str()),
            u"There is not enough free disk space.\nNeeded: 5.2 MB\nFree: 4.0 MB");
}
