// The writers' bytes: the settings block, level-2 member headers, and whole archives of a
// folder, read back by a header walker written here from the format.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "pack/pack.h"
#include "support/hashes.h"
#include "support/zsfx_runner.h"

namespace fs = std::filesystem;

namespace {

uint32_t le16(const std::vector<uint8_t>& b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t le32(const std::vector<uint8_t>& b, size_t at) { return le16(b, at) | (le16(b, at + 2) << 16); }

std::u16string fromUtf16le(const std::vector<uint8_t>& b, size_t at, size_t bytes) {
  std::u16string s;
  for (size_t i = 0; i + 1 < bytes; i += 2) s.push_back(static_cast<char16_t>(le16(b, at + i)));
  return s;
}

// One level-2 member as an extracting reader sees it.
struct ReadMember {
  std::string method;
  uint32_t packedSize = 0, originalSize = 0;
  int32_t time = 0;
  uint8_t attribute = 0, osId = 0;
  uint16_t crc = 0;
  std::map<uint8_t, std::vector<uint8_t>> extended;  // type -> data
  std::u16string unicodeName, unicodeDirectory;
  bool headerCrcOk = false;
  size_t headerLength = 0;
  std::vector<uint8_t> packed;
};

// Walks an archive of level-2 headers up to its end byte; false (with a failure) on any
// inconsistency.
bool walkArchive(const std::vector<uint8_t>& archive, std::vector<ReadMember>& members) {
  size_t at = 0;
  while (true) {
    if (at >= archive.size()) {
      ADD_FAILURE() << "archive ends without its end byte";
      return false;
    }
    if (archive[at] == 0) {
      EXPECT_EQ(at + 1, archive.size()) << "bytes after the end byte";
      return true;
    }
    ReadMember m;
    const size_t length = le16(archive, at);
    m.headerLength = length;
    if (length < 26 || at + length > archive.size() || length > 4096) {
      ADD_FAILURE() << "bad header length " << length;
      return false;
    }
    std::vector<uint8_t> h(archive.begin() + at, archive.begin() + at + length);
    m.method.assign(h.begin() + 2, h.begin() + 7);
    m.packedSize = le32(h, 7);
    m.originalSize = le32(h, 11);
    m.time = static_cast<int32_t>(le32(h, 15));
    m.attribute = h[19];
    EXPECT_EQ(h[20], 2) << "level";
    m.crc = static_cast<uint16_t>(le16(h, 21));
    m.osId = h[23];
    size_t cursor = 24;
    size_t next = le16(h, cursor);
    while (next != 0) {
      if (next < 3 || cursor + 2 + next > length) {
        ADD_FAILURE() << "extended header runs past the header";
        return false;
      }
      const uint8_t type = h[cursor + 2];
      std::vector<uint8_t> data(h.begin() + cursor + 3, h.begin() + cursor + 3 + (next - 3));
      EXPECT_EQ(m.extended.count(type), 0u) << "extended header type twice";
      m.extended[type] = data;
      if (type == 0x44) m.unicodeName = fromUtf16le(data, 0, data.size());
      if (type == 0x45) m.unicodeDirectory = fromUtf16le(data, 0, data.size());
      cursor += next;  // type byte and data follow the length field; the next length ends them
      next = le16(h, cursor);
    }
    EXPECT_LE(cursor + 2, length);
    if (m.extended.count(0x00) && m.extended[0x00].size() >= 2) {
      std::vector<uint8_t> zeroed = h;
      // The common header sits first: its CRC field is at 24 + 3.
      zeroed[27] = zeroed[28] = 0;
      m.headerCrcOk = crc16ArcBitwise(zeroed.data(), zeroed.size()) == le16(m.extended[0x00], 0);
    }
    at += length;
    if (at + m.packedSize > archive.size()) {
      ADD_FAILURE() << "packed data runs past the archive";
      return false;
    }
    m.packed.assign(archive.begin() + at, archive.begin() + at + m.packedSize);
    at += m.packedSize;
    members.push_back(std::move(m));
  }
}

std::vector<uint8_t> readAll(const std::string& path) {
  std::vector<unsigned char> b = readFileBytes(path);
  return std::vector<uint8_t>(b.begin(), b.end());
}

void writeFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void setTime(const fs::path& path, int64_t unixTime) {
  const auto sys = std::chrono::system_clock::time_point(std::chrono::seconds(unixTime));
  fs::last_write_time(path, std::chrono::file_clock::from_sys(sys));
}

}  // namespace

TEST(SettingsBlock, WorkedLayoutOf182Bytes) {
  SettingsBlockSpec settings;
  settings.title = u"Zolt SFX demo";                               // 13
  settings.shortcutTarget = u"bin\\zolt-viewer\\viewerapp.exe";  // 29
  settings.programToRun = u"docs\\はじめに\\readme-for-users-first.txt";  // 36
  settings.shortcutName = u"Zolt app";                            // 8
  ASSERT_EQ(settings.title.size(), 13u);
  ASSERT_EQ(settings.shortcutTarget.size(), 29u);
  ASSERT_EQ(settings.programToRun.size(), 36u);
  ASSERT_EQ(settings.shortcutName.size(), 8u);
  std::vector<uint8_t> block;
  std::string error;
  ASSERT_TRUE(encodeSettingsBlock(settings, block, error)) << error;
  ASSERT_EQ(block.size(), 182u);
  EXPECT_EQ(block[0], 1);
  EXPECT_EQ(block[1], 13);
  EXPECT_EQ(fromUtf16le(block, 2, 26), settings.title);
  EXPECT_EQ(block[28], 0) << "programFilesBase";
  EXPECT_EQ(block[29], 0) << "destination length";
  EXPECT_EQ(block[30], 29);
  EXPECT_EQ(fromUtf16le(block, 31, 58), settings.shortcutTarget);
  EXPECT_EQ(block[89], 0);
  EXPECT_EQ(block[90], 0);
  EXPECT_EQ(block[91], 0);
  EXPECT_EQ(block[92], 36);
  EXPECT_EQ(fromUtf16le(block, 93, 72), settings.programToRun);
  EXPECT_EQ(block[165], 8);
  EXPECT_EQ(fromUtf16le(block, 166, 16), settings.shortcutName);
}

TEST(SettingsBlock, FieldsInOrderAndTheNoSettingsMarker) {
  SettingsBlockSpec settings;
  settings.programFilesBase = true;
  settings.destination = u"Tools\\App";
  settings.startMenuOption = 3;
  settings.desktopOption = 2;
  settings.sendToOption = 1;
  std::vector<uint8_t> block;
  std::string error;
  ASSERT_TRUE(encodeSettingsBlock(settings, block, error));
  const std::vector<uint8_t> expected = {1, 0, 1, 9, 'T', 0, 'o', 0, 'o', 0, 'l', 0, 's', 0, '\\', 0,
                                         'A', 0, 'p', 0, 'p', 0, 0, 3, 2, 1, 0, 0};
  EXPECT_EQ(block, expected);

  settings.present = false;
  ASSERT_TRUE(encodeSettingsBlock(settings, block, error));
  EXPECT_EQ(block, std::vector<uint8_t>{0});
}

TEST(SettingsBlock, StringsOfAtMost255Units) {
  SettingsBlockSpec settings;
  settings.shortcutName = std::u16string(255, u'n');
  std::vector<uint8_t> block;
  std::string error;
  ASSERT_TRUE(encodeSettingsBlock(settings, block, error)) << error;
  EXPECT_EQ(block.size(), 10u + 2 * 255);
  EXPECT_EQ(block[block.size() - 511], 255);

  settings.shortcutName.clear();
  settings.destination = std::u16string(256, u'd');
  block = {42};
  EXPECT_FALSE(encodeSettingsBlock(settings, block, error));
  EXPECT_NE(error.find("destination"), std::string::npos) << error;
  EXPECT_NE(error.find("255"), std::string::npos) << error;
  EXPECT_EQ(block, std::vector<uint8_t>{42}) << "output untouched on failure";
}

TEST(MemberHeader, FileAndDirectoryFields) {
  MemberHeaderFields f;
  f.path = u"docs/はじめに/readme.txt";
  std::memcpy(f.method, "-lh7-", 6);
  f.packedSize = 1234;
  f.originalSize = 5678;
  f.crc = 0xBEEF;
  f.modificationTime = 1700000000;
  std::vector<uint8_t> header;
  std::string error;
  ASSERT_TRUE(encodeMemberHeader(f, header, error)) << error;
  header.push_back(0);
  std::vector<ReadMember> members;
  // A header with no data behind it is not a valid archive; give it its packed bytes.
  std::vector<uint8_t> archive(header.begin(), header.end() - 1);
  archive.insert(archive.end(), 1234, 0x55);
  archive.push_back(0);
  ASSERT_TRUE(walkArchive(archive, members));
  ASSERT_EQ(members.size(), 1u);
  const ReadMember& m = members[0];
  EXPECT_EQ(m.method, "-lh7-");
  EXPECT_EQ(m.packedSize, 1234u);
  EXPECT_EQ(m.originalSize, 5678u);
  EXPECT_EQ(m.crc, 0xBEEF);
  EXPECT_EQ(m.time, 1700000000);
  EXPECT_EQ(m.osId, 'M');
  EXPECT_EQ(m.unicodeName, u"readme.txt");
  EXPECT_EQ(m.unicodeDirectory, u"docs/はじめに/") << "the folder text ends with its separator";
  ASSERT_EQ(m.extended.count(0x02), 1u);
  const std::string utf8Folder = "docs\xFF\xE3\x81\xAF\xE3\x81\x98\xE3\x82\x81\xE3\x81\xAB\xFF";
  EXPECT_EQ(std::string(m.extended.at(0x02).begin(), m.extended.at(0x02).end()), utf8Folder);
  ASSERT_EQ(m.extended.count(0x01), 1u);
  EXPECT_EQ(std::string(m.extended.at(0x01).begin(), m.extended.at(0x01).end()), "readme.txt");
  EXPECT_TRUE(m.headerCrcOk);
  EXPECT_NE(m.headerLength & 0xFF, 0u);

  MemberHeaderFields d;
  d.path = u"empty/inner";
  d.isDirectory = true;
  std::memcpy(d.method, "-lhd-", 6);
  ASSERT_TRUE(encodeMemberHeader(d, header, error));
  header.push_back(0);
  members.clear();
  ASSERT_TRUE(walkArchive(header, members));
  EXPECT_EQ(members[0].method, "-lhd-");
  EXPECT_EQ(members[0].unicodeDirectory, u"empty/inner/");
  EXPECT_TRUE(members[0].unicodeName.empty());
  const std::vector<uint8_t> ansiFolder = {'e', 'm', 'p', 't', 'y', 0xFF, 'i', 'n', 'n', 'e', 'r', 0xFF};
  EXPECT_EQ(members[0].extended.at(0x02), ansiFolder);
  EXPECT_EQ(members[0].attribute, 0x10);
}

// The byte-string names other tools read, in UTF-8 and in code page 932; the UTF-16 headers
// carry the exact text either way.
TEST(MemberHeader, ByteStringNamesInUtf8AndCodePage932) {
  struct Case {
    std::u16string path;
    uint32_t codePage;
    std::string name, folder;  // expected 0x01 and 0x02 bytes; folder "" means no 0x02
  } cases[] = {
      {u"plain.txt", 65001, "plain.txt", ""},
      {u"caf\u00e9.txt", 65001, "caf\xC3\xA9.txt", ""},
      // U+1F600 is a surrogate pair in UTF-16 and four bytes in UTF-8.
      {u"\U0001F600/x", 65001, "x", "\xF0\x9F\x98\x80\xFF"},
      {u"\u65e5\u672c/\u30c7\u30fc\u30bf.bin", 932, "\x83\x66\x81\x5B\x83\x5E.bin", "\x93\xFA\x96\x7B\xFF"},
      // The trail byte of ソ (0x83 0x5C) is 0x5C, a backslash on its own: it must stay in the
      // name, and the folder separator stays 0xFF.
      {u"\u30bd/\u30bd.txt", 932, "\x83\x5C.txt", "\x83\x5C\xFF"},
  };
  for (const Case& c : cases) {
    MemberHeaderFields f;
    f.path = c.path;
    f.nameCodePage = c.codePage;
    std::vector<uint8_t> header;
    std::string error;
    ASSERT_TRUE(encodeMemberHeader(f, header, error)) << error;
    header.push_back(0);
    std::vector<ReadMember> members;
    ASSERT_TRUE(walkArchive(header, members));
    const ReadMember& m = members.at(0);
    EXPECT_EQ(std::string(m.extended.at(0x01).begin(), m.extended.at(0x01).end()), c.name);
    if (c.folder.empty()) {
      EXPECT_EQ(m.extended.count(0x02), 0u);
    } else {
      ASSERT_EQ(m.extended.count(0x02), 1u);
      EXPECT_EQ(std::string(m.extended.at(0x02).begin(), m.extended.at(0x02).end()), c.folder);
    }
    EXPECT_EQ(m.unicodeDirectory + m.unicodeName, c.path);
  }
  // Nothing in 932 spells é; a look-alike would give another name back.
  for (const std::u16string& path : {std::u16string(u"caf\u00e9.txt"), std::u16string(u"\u00a5/x")}) {
    MemberHeaderFields f;
    f.path = path;
    f.nameCodePage = 932;
    std::vector<uint8_t> header{42};
    std::string error;
    EXPECT_FALSE(encodeMemberHeader(f, header, error));
    EXPECT_NE(error.find("932"), std::string::npos) << error;
    EXPECT_EQ(header, std::vector<uint8_t>{42});
  }
}

TEST(MemberHeader, LengthNeverHasALowByteOfZeroAndLongPathsAreRefused) {
  // Lengths of name around every multiple of 256 bytes: the first header byte must never be 0,
  // which a reader takes for the end of the archive.
  std::string error;
  int padded = 0;
  for (size_t n = 1; n < 700; ++n) {
    MemberHeaderFields f;
    f.path = std::u16string(n, u'é');  // UTF-16 only: 2 bytes per unit
    std::vector<uint8_t> header;
    ASSERT_TRUE(encodeMemberHeader(f, header, error)) << n;
    ASSERT_NE(header[0], 0) << n;
    ASSERT_EQ(le16(header, 0), header.size());
    if (header.size() % 256 == 1) ++padded;
    header.push_back(0);
    std::vector<ReadMember> members;
    ASSERT_TRUE(walkArchive(header, members)) << n;
    ASSERT_EQ(members[0].unicodeName, f.path);
    ASSERT_TRUE(members[0].headerCrcOk);
  }
  EXPECT_GT(padded, 0) << "the padding case was not reached";

  MemberHeaderFields tooLong;
  tooLong.path = std::u16string(1000, u'a') + u"/" + std::u16string(1100, u'b');
  std::vector<uint8_t> header;
  EXPECT_FALSE(encodeMemberHeader(tooLong, header, error));
  EXPECT_NE(error.find("too long"), std::string::npos) << error;
}

class FolderArchive : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = makeTempDir("packfolder");
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path src() const { return fs::path(dir_) / "src"; }
  std::vector<uint8_t> pack(PackOptions options) {
    const std::string out = dir_ + "/out.lzh";
    std::FILE* f = std::fopen(out.c_str(), "wb");
    std::string error;
    EXPECT_TRUE(packFolder(src(), options, f, error)) << error;
    std::fclose(f);
    return readAll(out);
  }
  std::string dir_;
};

TEST_F(FolderArchive, SortedEntriesDirectoriesTimesAndStoredData) {
  fs::create_directories(src() / "b" / "empty");
  fs::create_directories(src() / "a");
  std::vector<uint8_t> text(5000);
  for (size_t i = 0; i < text.size(); ++i) text[i] = "zolt archive "[i % 13];
  writeFile(src() / "b" / "z.txt", text);
  writeFile(src() / "b" / "y.bin", {1, 2, 3});
  writeFile(src() / "a" / "日本語.txt", {});
  writeFile(src() / "top.txt", {'x'});
  setTime(src() / "b" / "z.txt", 1700000000);
  setTime(src() / "top.txt", 946684800);
  setTime(src() / "b" / "empty", 1234567890);

  PackOptions stored;
  stored.method = PackMethod::lh0;
  std::vector<ReadMember> members;
  ASSERT_TRUE(walkArchive(pack(stored), members));
  std::vector<std::u16string> paths;
  for (const ReadMember& m : members) paths.push_back(m.unicodeDirectory + m.unicodeName);
  const std::vector<std::u16string> expected = {u"a/", u"a/日本語.txt", u"b/", u"b/empty/", u"b/y.bin",
                                                u"b/z.txt", u"top.txt"};
  EXPECT_EQ(paths, expected);
  for (const ReadMember& m : members) {
    EXPECT_TRUE(m.headerCrcOk);
    if (m.method == "-lhd-") {
      EXPECT_EQ(m.packedSize, 0u);
      continue;
    }
    EXPECT_EQ(m.method, "-lh0-");
    EXPECT_EQ(m.crc, crc16ArcBitwise(m.packed.data(), m.packed.size()));
  }
  EXPECT_EQ(members[3].time, 1234567890) << "folder time";
  EXPECT_EQ(members[5].time, 1700000000);
  EXPECT_EQ(members[5].packed, text);
  EXPECT_EQ(members[6].time, 946684800);

  // Packed: the text shrinks, the 3-byte and 1-byte files stay stored, the empty one too.
  PackOptions packed;
  packed.method = PackMethod::lh5;
  members.clear();
  ASSERT_TRUE(walkArchive(pack(packed), members));
  ASSERT_EQ(members.size(), 7u);
  EXPECT_EQ(members[5].method, "-lh5-");
  EXPECT_LT(members[5].packedSize, 200u);
  EXPECT_EQ(members[5].crc, crc16ArcBitwise(text.data(), text.size()));
  EXPECT_EQ(members[4].method, "-lh0-");
  EXPECT_EQ(members[1].method, "-lh0-");
  EXPECT_EQ(members[1].originalSize, 0u);
}

TEST_F(FolderArchive, FailuresSayWhat) {
  std::string error;
  std::FILE* f = std::fopen((dir_ + "/x.lzh").c_str(), "wb");
  EXPECT_FALSE(packFolder(fs::path(dir_) / "missing", PackOptions{}, f, error));
  EXPECT_NE(error.find("missing"), std::string::npos) << error;
  std::fclose(f);

  // A path whose header cannot hold it names the file.
  fs::path deep = src();
  for (int i = 0; i < 12; ++i) deep /= std::string(200, char('a' + i));
  std::error_code ec;
  fs::create_directories(deep, ec);
  if (ec) GTEST_SKIP() << "the file system refuses the long path: " << ec.message();
  writeFile(deep / "f.txt", {1});
  f = std::fopen((dir_ + "/x.lzh").c_str(), "wb");
  EXPECT_FALSE(packFolder(src(), PackOptions{}, f, error));
  EXPECT_NE(error.find("too long"), std::string::npos) << error;
  std::fclose(f);
}
