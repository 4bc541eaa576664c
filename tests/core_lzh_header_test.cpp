#include "core/lzh_header.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "core/app.h"
#include "core/member_walk.h"
#include "core/payload_check.h"
#include "support/lzh_test_archive.h"

using namespace lzhtest;

namespace {

struct MessageRecorder : RunObserver {
  std::vector<std::u16string> messages;
  void memberAnnounced(const char16_t*) override {}
  void progressPercent(uint32_t) override {}
  void showMessage(const char16_t* text, MessageKind kind) override {
    EXPECT_EQ(kind, MessageKind::unknownHeader);
    messages.emplace_back(text);
  }
  void showSystemError(uint32_t, uint32_t) override {}
  void runEnded(bool) override {}
};

class HeaderReader : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::setAnsiCodePage(932);
    setenv("TZ", "UTC", 1);
    tzset();
  }

  void open(const Bytes& archive) { app.archiveFile = openBytes(scratch, "a.lzh", archive); }
  // The first header of archive, parsed in memory and completed as readHeader completes it;
  // a rejection's text is recorded as the observer would show it.
  HeaderStatus readOne(const Bytes& archive) {
    RawHeader raw;
    const HeaderParse parse = parseHeader(archive.data(), archive.size(), raw);
    parsedSize = parse.size;
    if (parse.status == HeaderStatus::member) completeHeader(archive.data(), raw, header);
    if (parse.status == HeaderStatus::rejected) recorder.messages.emplace_back(parse.rejection);
    return parse.status;
  }
  // The same through readHeader from a file: for what depends on where the file ends.
  HeaderStatus readFromFile(const Bytes& archive) {
    open(archive);
    return readHeader(app, header);
  }
  std::u16string path() const { return header.path.c_str(); }
  // The progress bar's total, from the walk that checks the payload.
  uint64_t surveyedTotal() {
    PayloadSurvey survey;
    surveyPayload(app, survey);
    return survey.totalBytes;
  }

  ScratchFolder scratch;
  MessageRecorder recorder;
  SfxApp app{recorder};
  LzhHeader header;
  uint32_t parsedSize = 0;  // the header bytes of readOne's member
};

Member level(int lvl, const std::string& name, const Bytes& data) {
  Member m;
  m.level = lvl;
  m.name = name;
  m.data = data;
  return m;
}

// A level-0 header with name length N and header length L, the rest as encodeMember writes it.
Bytes level0WithLength(uint8_t nameLength, uint8_t headerLength) {
  Bytes out(static_cast<size_t>(headerLength) + 2, 0);
  out[0] = headerLength;
  const char* method = "-lh0-";
  for (int i = 0; i < 5; ++i) out[2 + i] = static_cast<uint8_t>(method[i]);
  out[20] = 0;
  out[21] = nameLength;
  for (int i = 0; i < nameLength && 22 + i < static_cast<int>(out.size()); ++i) out[22 + i] = 'n';
  out.push_back(0);
  return out;
}

}  // namespace

TEST_F(HeaderReader, EmptyArchive) {
  EXPECT_EQ(readFromFile({0}), HeaderStatus::endOfArchive);
  EXPECT_EQ(readFromFile({}), HeaderStatus::endOfFile);  // no end mark: maybe cut short
  open({0});
  EXPECT_EQ(surveyedTotal(), 0u);
  EXPECT_EQ(app.archiveFile->tell(), 0);
  EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(HeaderReader, Level0FieldsAndPosition) {
  Member m = level(0, "dir\\name.txt", bytesOf("hello"));
  m.rawTime = (20u << 25) | (3u << 21) | (1u << 16);  // 2000-03-01 00:00:00
  m.attribute = 0x21;
  const Bytes archive = encodeArchive({m});
  ASSERT_EQ(readOne(archive), HeaderStatus::member);
  EXPECT_EQ(header.level, 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(header.method), 5), "-lh0-");
  EXPECT_EQ(header.packedSize, 5u);
  EXPECT_EQ(header.originalSize, 5u);
  EXPECT_EQ(header.attribute, 0x21);
  EXPECT_EQ(header.hasCrc, 1);
  EXPECT_EQ(header.osId, 0);
  EXPECT_EQ(path(), u"dir\\name.txt");  // separators of a base-header name stay as stored
  EXPECT_EQ(header.time, 951868800);
  EXPECT_EQ(parsedSize, archive.size() - 6);
}

TEST_F(HeaderReader, RoomAfterTheNameDecidesCrcAndOsId) {
  // N = 10: L = 32 gives R = 22 (CRC), L = 30 gives R = 20 (none), L = 33 gives R = 23.
  ASSERT_EQ(readOne(level0WithLength(10, 32)), HeaderStatus::member);
  EXPECT_EQ(header.hasCrc, 1);
  EXPECT_EQ(header.osId, 0);
  ASSERT_EQ(readOne(level0WithLength(10, 30)), HeaderStatus::member);
  EXPECT_EQ(header.hasCrc, 0);
  ASSERT_EQ(readOne(level0WithLength(10, 34)), HeaderStatus::member);
  EXPECT_EQ(header.hasCrc, 1);
  EXPECT_TRUE(recorder.messages.empty());
  EXPECT_EQ(readOne(level0WithLength(10, 33)), HeaderStatus::rejected);
  EXPECT_EQ(readOne(level0WithLength(10, 31)), HeaderStatus::rejected);
  EXPECT_EQ(readOne(level0WithLength(10, 25)), HeaderStatus::rejected);
  // A name longer than the header: never read past the header, rejected.
  EXPECT_EQ(readOne(level0WithLength(200, 30)), HeaderStatus::rejected);
  EXPECT_EQ(recorder.messages, std::vector<std::u16string>(4, u"Unknown header"));
}

TEST_F(HeaderReader, FirstByteAbove0x7FIsAnUnsignedLength) {
  ASSERT_EQ(readOne(level0WithLength(200, 222)), HeaderStatus::member);
  EXPECT_EQ(header.hasCrc, 1);
  EXPECT_EQ(header.path.length(), 200u);
}

TEST_F(HeaderReader, Level1SubtractsItsExtendedHeaders) {
  Member m = level(1, "lvl1.txt", Bytes(1000, 'x'));
  m.ext = {attributeExt(0x01), ExtHeader{0x41, Bytes(17, 0)}};  // 5 + 20 bytes
  const Bytes archive = encodeArchive({m});
  const size_t baseSize = static_cast<size_t>(archive[0]) + 2;
  ASSERT_EQ(readOne(archive), HeaderStatus::member);
  EXPECT_EQ(header.packedSize, 1000u);
  EXPECT_EQ(header.osId, 'M');
  EXPECT_EQ(header.attribute, 0x01);
  EXPECT_EQ(parsedSize, baseSize + 25);
  EXPECT_EQ(path(), u"lvl1.txt");
}

// From memory, a level-1 header arrives in steps: the first 22 bytes, the base header, then
// each extended header on its own. Each step asks for exactly the bytes that the next
// decision needs, and a prefix never parses as something else.
TEST(ParseHeader, AsksForEachStepOfALevel1Header) {
  Member m = level(1, "a.txt", Bytes(40, 'x'));
  m.ext = {nameExt("named.txt"), ExtHeader{0x41, Bytes(17, 0)}};
  const Bytes member = encodeMember(m);
  const uint32_t base = member[0] + 2u;
  const uint32_t first = base + 12, second = first + 20;  // the 0x01 and 0x41 headers
  const uint32_t steps[] = {22, base, first, second};
  RawHeader raw;
  for (size_t i = 0; i < std::size(steps); ++i) {
    const Bytes prefix(member.begin(), member.begin() + (i == 0 ? 0 : steps[i - 1]));
    const HeaderParse parse = parseHeader(prefix.data(), prefix.size(), raw);
    EXPECT_EQ(parse.status, HeaderStatus::needMore) << i;
    EXPECT_EQ(parse.size, steps[i]) << i;
  }
  const HeaderParse parse = parseHeader(member.data(), second, raw);
  ASSERT_EQ(parse.status, HeaderStatus::member);
  EXPECT_EQ(parse.size, second);
  EXPECT_EQ(raw.packedSize, 40u);
  LzhHeader header;
  completeHeader(member.data(), raw, header);
  EXPECT_EQ(std::u16string(header.path.c_str()), u"named.txt");
  // A byte 0 first is the end mark, even with bytes after it.
  const Bytes end{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21};
  EXPECT_EQ(parseHeader(end.data(), end.size(), raw).status, HeaderStatus::endOfArchive);
}

TEST_F(HeaderReader, AttributeHeaderOfAnotherSystemIsSkipped) {
  Member m = level(1, "", Bytes{1});
  m.osId = 'U';
  m.ext = {attributeExt(0x07), nameExt("after.txt")};
  ASSERT_EQ(readOne(encodeArchive({m})), HeaderStatus::member);
  EXPECT_EQ(header.attribute, 0x20);
  EXPECT_EQ(path(), u"after.txt");
}

TEST_F(HeaderReader, Level2ExtendedHeadersInAnyOrder) {
  Member m = level(2, "", Bytes(777, 'd'));
  m.rawTime = 1700000000;
  m.ext = {ExtHeader{0x46, {0xA4, 0x03}}, nameExt("file.dat"), directoryExt("docs\xFFsub\xFF"),
           ExtHeader{0x41, Bytes(24, 1)}, ExtHeader{0x00, {0x12, 0x34}}};
  const Bytes archive = encodeArchive({m});
  ASSERT_EQ(readOne(archive), HeaderStatus::member);
  EXPECT_EQ(path(), u"docs/sub/file.dat");
  EXPECT_EQ(header.time, 1700000000);
  EXPECT_EQ(header.packedSize, 777u);
  EXPECT_EQ(parsedSize, archive.size() - 1 - 777);
}

TEST_F(HeaderReader, UnicodeNamesWinWhateverTheOrder) {
  Member a = level(2, "", Bytes{1});
  a.ext = {nameExt("ansi.txt"), unicodeNameExt(u"日本語.txt"), directoryExt("ansi/"), unicodeDirectoryExt(u"フォルダ\\")};
  ASSERT_EQ(readOne(encodeArchive({a})), HeaderStatus::member);
  EXPECT_EQ(path(), u"フォルダ/日本語.txt");
  Member b = level(2, "", Bytes{1});
  b.ext = {unicodeDirectoryExt(u"d\xFFFF"), unicodeNameExt(u"u.txt"), nameExt("ansi.txt"), directoryExt("ansi/")};
  ASSERT_EQ(readOne(encodeArchive({b})), HeaderStatus::member);
  EXPECT_EQ(path(), u"d/u.txt");
}

TEST_F(HeaderReader, DirectoryEntryWithEmptyName) {
  Member m = level(2, "", {});
  m.method = "-lhd-";
  m.ext = {directoryExt("tree\xFFleaf\xFF")};
  ASSERT_EQ(readOne(encodeArchive({m})), HeaderStatus::member);
  EXPECT_EQ(path(), u"tree/leaf/");
}

TEST_F(HeaderReader, DirectoryWithoutFinalSeparatorGetsOne) {
  // Directory headers written without their final separator (ANSI and UTF-16, levels 1
  // and 2) still name a folder; one that has it, or an empty one, is left alone.
  struct Case {
    int level;
    ExtHeader directory;
    std::u16string path;
  };
  const Case cases[] = {
      {1, directoryExt("subdir\xFFsubdir2"), u"subdir/subdir2/hello.txt"},
      {2, directoryExt("subdir\xFFsubdir2"), u"subdir/subdir2/hello.txt"},
      {1, unicodeDirectoryExt(u"sub\\dir2"), u"sub/dir2/hello.txt"},
      {2, unicodeDirectoryExt(u"sub\\dir2"), u"sub/dir2/hello.txt"},
      {2, directoryExt("\x95\x5C"), u"表/hello.txt"},  // ends in a trail byte 0x5C, not a separator
      {2, directoryExt("done\xFF"), u"done/hello.txt"},
      {2, directoryExt(""), u"hello.txt"},
  };
  for (const Case& c : cases) {
    Member m = level(c.level, c.level == 1 ? "hello.txt" : "", Bytes{1});
    m.ext = {c.directory};
    if (c.level == 2) m.ext.push_back(nameExt("hello.txt"));
    ASSERT_EQ(readOne(encodeArchive({m})), HeaderStatus::member);
    EXPECT_EQ(path(), c.path) << c.level;
  }
  // A directory entry with no name ends in the separator too.
  Member entry = level(2, "", {});
  entry.method = "-lhd-";
  entry.ext = {directoryExt("tree\xFFleaf")};
  ASSERT_EQ(readOne(encodeArchive({entry})), HeaderStatus::member);
  EXPECT_EQ(path(), u"tree/leaf/");
}

TEST_F(HeaderReader, ShiftJisTrailBytesAreNotSeparators) {
  // 表示\ as directory: 0x95 0x5C 0x8E 0xA6 0x5C. The first 0x5C is the trail byte of 表.
  Member m = level(1, "a.txt", Bytes{1});
  m.ext = {directoryExt("\x95\x5C\x8E\xA6\x5C")};
  ASSERT_EQ(readOne(encodeArchive({m})), HeaderStatus::member);
  EXPECT_EQ(path(), u"表示/a.txt");
  // A level-0 name converts as a whole, so its trail bytes never split it.
  ASSERT_EQ(readOne(encodeArchive({level(0, "\x83\x5C\x83\x74\x83\x67\x95\x5C\x8E\xA6.txt", Bytes{1})})),
            HeaderStatus::member);
  EXPECT_EQ(path(), u"ソフト表示.txt");
}

TEST_F(HeaderReader, ReplaceSeparatorsMbcsPassesOverTrailBytes) {
  char text[] = "a\\b/c\xFF\x95\x5C\xE0\x2F" "d\\\x81";
  replaceSeparatorsMbcs(text, '/');
  EXPECT_STREQ(text, "a/b/c/\x95\x5C\xE0\x2F" "d/\x81");
}

TEST_F(HeaderReader, LongLevel2HeadersUseTheFull16BitLength) {
  // Total lengths 261 (low byte 5, below the level byte) and 512 (low byte 0, which also
  // looks like the end-of-archive byte).
  for (uint32_t total : {261u, 300u, 512u, 4096u}) {
    Member m = level(2, "", bytesOf("data"));
    m.ext = {unicodeDirectoryExt(std::u16string(40, u'w') + u"/"), unicodeNameExt(u"x.txt")};
    m.padLevel2To = total;
    Bytes archive = encodeArchive({m, level(2, "next.txt", bytesOf("n"))});
    ASSERT_EQ(archive[0] | (archive[1] << 8), static_cast<int>(total));
    open(archive);
    EXPECT_EQ(surveyedTotal(), 5u);
    ASSERT_EQ(readHeader(app, header), HeaderStatus::member) << total;
    EXPECT_EQ(path(), std::u16string(40, u'w') + u"/x.txt");
    EXPECT_EQ(app.archiveFile->tell(), static_cast<int64_t>(total));
  }
  EXPECT_TRUE(recorder.messages.empty());
}

// LHa for OS-9 states level-2 lengths 2 short: the final 0 length field of the chain lies
// just past the stated length. Exactly that is accepted, and the header counts 2 more bytes.
TEST_F(HeaderReader, Level2LengthLeavingOutTheFinalZero) {
  Member m = level(2, "os9.txt", bytesOf("data"));
  m.ext = {attributeExt(0x20)};
  const Bytes good = encodeArchive({m, level(2, "next.txt", bytesOf("n"))});
  const uint32_t total = le16(good.data());
  auto withStatedLength = [&](uint32_t stated) {
    Bytes archive = good;
    archive[0] = static_cast<uint8_t>(stated);
    archive[1] = static_cast<uint8_t>(stated >> 8);
    return archive;
  };
  open(withStatedLength(total - 2));
  EXPECT_EQ(surveyedTotal(), 5u);
  ASSERT_EQ(readHeader(app, header), HeaderStatus::member);
  EXPECT_EQ(path(), u"os9.txt");
  EXPECT_EQ(app.archiveFile->tell(), static_cast<int64_t>(total));
  ASSERT_TRUE(seekPastMember(app, total, header));
  ASSERT_EQ(readHeader(app, header), HeaderStatus::member);
  EXPECT_EQ(path(), u"next.txt");
  EXPECT_TRUE(recorder.messages.empty());

  // Any other overrun, and a chain that goes on past the stated length (the attribute
  // header's nonzero length field lies exactly there), stay rejected.
  for (uint32_t stated : {total - 1, total - 3, total - 4, total - 7}) {
    EXPECT_EQ(readOne(withStatedLength(stated)), HeaderStatus::rejected) << total - stated;
  }
  EXPECT_EQ(recorder.messages.size(), 4u);
}

TEST_F(HeaderReader, Level2LongerThanTheBufferIsRejected) {
  Member m = level(2, "x", Bytes{1});
  m.padLevel2To = 4097;
  EXPECT_EQ(readOne(encodeArchive({m})), HeaderStatus::rejected);
  EXPECT_EQ(recorder.messages.size(), 1u);
}

TEST_F(HeaderReader, ExtendedHeaderChainsAreBounded) {
  // A chain that runs past the level-2 header's own length.
  Member m = level(2, "name", Bytes{1});
  Bytes archive = encodeArchive({m});
  archive[24] = 0xF0;  // first extended header claims 240 bytes inside a ~33-byte header
  EXPECT_EQ(readOne(archive), HeaderStatus::rejected);
  // S below 3 cannot hold a type byte and the next length.
  for (uint8_t s : {1, 2}) {
    archive = encodeArchive({m});
    archive[24] = s;
    archive[25] = 0;
    EXPECT_EQ(readOne(archive), HeaderStatus::rejected);
  }
  // Level 1: an extended header larger than the room left in the buffer.
  Member one = level(1, "n", Bytes(10, 0));
  one.ext = {nameExt("x")};
  archive = encodeArchive({one});
  const size_t first = archive[0];
  archive[first] = 0xFF;
  archive[first + 1] = 0xFF;
  EXPECT_EQ(readOne(archive), HeaderStatus::rejected);
  EXPECT_EQ(recorder.messages.size(), 4u);
}

TEST_F(HeaderReader, Level1PackedSizeSmallerThanItsExtendedHeadersIsRejected) {
  Member m = level(1, "n", Bytes{});
  m.ext = {nameExt("longer-name.txt")};
  Bytes archive = encodeArchive({m});
  for (int i = 0; i < 4; ++i) archive[7 + i] = 0;  // packed size 0, extended headers 18
  EXPECT_EQ(readOne(archive), HeaderStatus::rejected);
}

TEST_F(HeaderReader, TruncatedHeadersAreRejectedNotEnded) {
  Member m = level(1, "name.txt", Bytes(4, 0));
  m.ext = {nameExt("ext-name.txt")};
  const Bytes full = encodeMember(m);
  const size_t headerBytes = full.size() - 4;
  for (size_t cut = 1; cut < headerBytes; ++cut) {
    recorder.messages.clear();
    EXPECT_EQ(readFromFile(Bytes(full.begin(), full.begin() + static_cast<long>(cut))), HeaderStatus::rejected) << cut;
    EXPECT_EQ(recorder.messages, std::vector<std::u16string>{u"Truncated header"}) << cut;
  }
}

TEST_F(HeaderReader, Level3ReadsLikeLevel2WithWideLengths) {
  Member m = level(3, "", bytesOf("three"));
  m.rawTime = 1700000000;
  m.osId = 'U';
  m.ext = {unicodeDirectoryExt(u"dir/"), nameExt("l3.txt"), ExtHeader{0x54, Bytes(6, 7)}};
  const Bytes archive = encodeArchive({m, level(2, "next.txt", bytesOf("n"))});
  const int64_t headerSize = static_cast<int64_t>(le32(archive.data() + 24));
  open(archive);
  EXPECT_EQ(surveyedTotal(), 6u);
  std::vector<std::u16string> paths;
  EXPECT_EQ(forEachMember(app, header,
                          [&](const LzhHeader& member) {
                            if (paths.empty()) {
                              EXPECT_EQ(member.level, 3);
                              EXPECT_EQ(member.packedSize, 5u);
                              EXPECT_EQ(member.time, 1700000000);
                              EXPECT_EQ(member.osId, 'U');
                              EXPECT_EQ(member.hasCrc, 1);
                              EXPECT_EQ(app.archiveFile->tell(), headerSize);
                            }
                            paths.emplace_back(member.path.c_str());
                            return true;
                          }),
            WalkEnd::endOfArchive);
  EXPECT_EQ(paths, (std::vector<std::u16string>{u"dir/l3.txt", u"next.txt"}));
  EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(HeaderReader, Level3TruncatedOrOverrunningIsRejected) {
  Member m = level(3, "name.txt", Bytes(4, 0));
  m.ext = {attributeExt(0x20)};
  const Bytes full = encodeMember(m);
  const uint32_t total = le32(full.data() + 24);
  for (uint32_t cut = 1; cut < total; ++cut) {
    recorder.messages.clear();
    EXPECT_EQ(readFromFile(Bytes(full.begin(), full.begin() + cut)), HeaderStatus::rejected) << cut;
    EXPECT_EQ(recorder.messages, std::vector<std::u16string>{u"Truncated header"}) << cut;
  }
  // Field at an offset set to a value: the word size, the total length (too small for the
  // base header, beyond the buffer, or 2 short, which only level 2 may be), the first
  // extended length (below its minimum of 5, past the total, far past it).
  struct Patch {
    uint32_t at;
    uint32_t value;
    int width;
  };
  const Patch patches[] = {{0, 2, 2},          {24, 31, 4}, {24, 5000, 4}, {24, total - 2, 4},
                           {28, 4, 4},         {28, 3, 4},  {28, total, 4}, {28, 0xFFFFFFF0u, 4}};
  recorder.messages.clear();
  for (const Patch& p : patches) {
    Bytes archive = full;
    archive.push_back(0);
    for (int i = 0; i < p.width; ++i) archive[p.at + i] = static_cast<uint8_t>(p.value >> (8 * i));
    EXPECT_EQ(readOne(archive), HeaderStatus::rejected) << p.at << " " << p.value;
  }
  EXPECT_EQ(recorder.messages, std::vector<std::u16string>(std::size(patches), u"Unknown header"));
}

ExtHeader sizes64(uint64_t packed, uint64_t original) {
  ExtHeader e{0x42, {}};
  for (uint64_t v : {packed, original}) {
    for (int i = 0; i < 8; ++i) e.data.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  return e;
}

// Members of 4 GiB and more: the base header holds the low 32 bits of each size, extended
// header 0x42 the whole of both, and the walk and the pre-scan go by the whole sizes.
TEST_F(HeaderReader, SizesOf4GiBAndMoreComeFromExtendedHeader0x42) {
  const uint64_t huge = (uint64_t{1} << 32) + 400'000'000;
  for (int lvl : {2, 3}) {
    Member big = level(lvl, "zero.bin", bytesOf("packed"));
    big.method = "-lh5-";
    big.originalSize = static_cast<uint32_t>(huge);
    big.ext = {sizes64(6, huge)};
    Member next = level(lvl, "next.txt", bytesOf("n"));
    open(encodeArchive({big, next}));
    EXPECT_EQ(surveyedTotal(), huge + 1) << lvl;
    std::vector<uint64_t> sizes;
    EXPECT_EQ(forEachMember(app, header,
                            [&](const LzhHeader& member) {
                              sizes.push_back(member.originalSize);
                              sizes.push_back(member.packedSize);
                              return true;
                            }),
              WalkEnd::endOfArchive);
    EXPECT_EQ(sizes, (std::vector<uint64_t>{huge, 6, 1, 1})) << lvl;
  }
  // Too short to hold both sizes: skipped, the base fields stand.
  Member shortOne = level(2, "s.txt", bytesOf("abc"));
  shortOne.ext = {ExtHeader{0x42, Bytes(8, 0xFF)}};
  ASSERT_EQ(readOne(encodeArchive({shortOne})), HeaderStatus::member);
  EXPECT_EQ(header.originalSize, 3u);
  EXPECT_EQ(header.packedSize, 3u);
  // A packed size past any file position names no next member.
  Member beyond = level(2, "b.txt", bytesOf("abc"));
  beyond.ext = {sizes64(~uint64_t{0}, 3)};
  open(encodeArchive({beyond, level(2, "never.txt", bytesOf("x"))}));
  int count = 0;
  EXPECT_EQ(forEachMember(app, header, [&](const LzhHeader&) { return ++count; }), WalkEnd::seekFailed);
  EXPECT_EQ(count, 1);
  EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(HeaderReader, Level2TimeIsSigned) {
  Member m = level(2, "neg.txt", Bytes{1});
  m.rawTime = 0x80000005u;
  ASSERT_EQ(readOne(encodeArchive({m})), HeaderStatus::member);
  EXPECT_EQ(header.time, -2147483643);
}

TEST_F(HeaderReader, SumOfOriginalSizesRestoresThePosition) {
  Member l0 = level(0, "a", Bytes(10, 1));
  Member l1 = level(1, "b", Bytes(20, 2));
  l1.ext = {nameExt("bb"), attributeExt(0)};
  Member l2 = level(2, "c", Bytes(30, 3));
  l2.originalSize = 0xFFFFFFF0u;  // the sum passes 4 GiB
  Member dir = level(2, "", {});
  dir.method = "-lhd-";
  Bytes archive{0xEE};
  const Bytes members = encodeArchive({l0, l1, l2, dir});
  archive.insert(archive.end(), members.begin(), members.end());
  open(archive);
  app.archiveStart = 1;
  EXPECT_EQ(surveyedTotal(), 10u + 20u + uint64_t{0xFFFFFFF0u});
  EXPECT_EQ(app.archiveFile->tell(), 1);
  // The walk passes over the same members.
  int count = 0;
  EXPECT_EQ(forEachMember(app, header, [&](const LzhHeader&) { return ++count; }), WalkEnd::endOfArchive);
  EXPECT_EQ(count, 4);
}

TEST(DosTime, ConvertsForTheZone) {
  EXPECT_EQ(dosTimeToUnixTime(0, 0), 0);
  const uint32_t march2000 = (20u << 25) | (3u << 21) | (1u << 16);
  EXPECT_EQ(dosTimeToUnixTime(march2000, 0), 951868800);
  // 2023-11-14 22:13:20 (seconds are stored halved).
  const uint32_t t = (43u << 25) | (11u << 21) | (14u << 16) | (22u << 11) | (13u << 5) | 10u;
  EXPECT_EQ(dosTimeToUnixTime(t, 0), 1700000000);
  // 1980-01-01, and after 2038 and the non-leap year 2100 up to the end of the range.
  EXPECT_EQ(dosTimeToUnixTime((1u << 21) | (1u << 16), 0), 315532800);
  EXPECT_EQ(dosTimeToUnixTime((127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u, 0),
            4354819198);
  EXPECT_EQ(dosTimeToUnixTime((120u << 25) | (3u << 21) | (1u << 16), 0), 4107542400);
  EXPECT_EQ(dosTimeToUnixTime((120u << 25) | (2u << 21) | (28u << 16), 0), 4107456000);
  // Months that do not exist never index outside the month table.
  EXPECT_EQ(dosTimeToUnixTime((20u << 25) | (0u << 21) | (1u << 16), 0), dosTimeToUnixTime((20u << 25) | (1u << 21) | (1u << 16), 0));
  EXPECT_GT(dosTimeToUnixTime((20u << 25) | (15u << 21) | (1u << 16), 0), 0);
  // Japan is 9 hours east of UTC: a local time there is 9 hours earlier in UTC.
  EXPECT_EQ(dosTimeToUnixTime(march2000, -9 * 3600), 951868800 - 9 * 3600);
  EXPECT_EQ(dosTimeToUnixTime(0, -9 * 3600), 0);
}
