// The LZH member header reader.
//
// Base header, offsets from its first byte (little-endian):
//   levels 0/1: 0 L (header length after 2 bytes), 1 checksum, 2 method[5], 7 packed size,
//               11 original size, 15 MS-DOS time, 19 attribute, 20 level, 21 N, 22 name[N],
//               then CRC-16 and OS id as the room R = L - N allows; level 1 ends with the
//               length of the first extended header at L.
//   level 2:    0 total header length (16 bits), 2 method[5], 7 packed size, 11 original
//               size, 15 Unix time, 19 reserved, 20 level, 21 CRC-16, 23 OS id, 24 length of
//               the first extended header.
//   level 3:    0 word size (16 bits, 4), then as level 2 up to the OS id at 23, 24 total
//               header length (32 bits), 28 length of the first extended header (32 bits).
// Extended header of length S: type byte, S - 3 data bytes, 2-byte length of the next one
// (level 3: S - 5 data bytes and a 4-byte length).
// The level byte sits at offset 20 in every level, so the first 22 bytes are needed before
// anything depends on the level.
//
// parseHeader works on bytes in memory and says how many more it needs; readHeader feeds it
// from the archive file, reading exactly the bytes it asks for, so that the file ends up on
// the member's packed data.
#include "core/lzh_header.h"

#include <algorithm>
#include <cstring>

#include "core/app.h"
#include "core/file_object.h"
#include "core/run_observer.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t kHeaderStart = 22;     // bytes needed before the level is known
constexpr uint32_t kLevel2BaseSize = 26;  // level-2 base header with its first length field
constexpr uint32_t kLevel2FirstLength = 24;
constexpr uint32_t kLevel3WordSize = 4;    // the first 2 bytes of a level-3 header
constexpr uint32_t kLevel3HeaderSize = 24;  // 4-byte total header size
constexpr uint32_t kLevel3FirstLength = 28;
constexpr uint32_t kLevel3BaseSize = 32;  // level-3 base header with its first length field

constexpr char16_t kUnknownHeaderText[] = u"Unknown header";
constexpr char16_t kTruncatedHeaderText[] = u"Truncated header";

HeaderParse needMore(uint32_t total) { return {HeaderParse::needMore, total, nullptr}; }
HeaderParse unknownHeader() { return {HeaderParse::rejected, 0, kUnknownHeaderText}; }

// An ANSI text of n bytes; separatorBytes turns the directory separators ("\", "/", 0xFF)
// into "/" first, passing over Shift_JIS trail bytes.
void takeAnsiText(const uint8_t* bytes, uint32_t n, bool separatorBytes, WideString& target) {
  char text[HEADER_BUFFER_SIZE + 1];
  std::memcpy(text, bytes, n);
  text[n] = 0;
  if (separatorBytes) replaceSeparatorsMbcs(text, '/');
  target.assignFromAnsi(text);
}

// A UTF-16LE text of n bytes (an odd last byte is not part of any unit).
void takeUtf16Text(const uint8_t* bytes, uint32_t n, WideString& target) {
  const uint32_t units = n / 2;
  auto* text = new char16_t[units + 1];
  for (uint32_t i = 0; i < units; ++i) text[i] = le16(bytes + 2 * i);
  text[units] = 0;
  target.adopt(text);
}

// The fields at the same place in every level.
void takeBaseFields(const uint8_t* bytes, LzhHeader& header) {
  header.headerLength = bytes[0];
  std::memcpy(header.method, bytes + lzh::OFFSET_METHOD, 5);
  header.packedSize = le32(bytes + lzh::OFFSET_PACKED_SIZE);
  header.originalSize = le32(bytes + lzh::OFFSET_ORIGINAL_SIZE);
  header.rawTime = le32(bytes + lzh::OFFSET_TIME);
  header.attribute = bytes[lzh::OFFSET_ATTRIBUTE];
  header.level = bytes[lzh::OFFSET_LEVEL];
}

// Levels 0 and 1: the room R = L - N after the name says what follows it: 20 nothing, 22 the
// CRC, 24 or more the CRC and the OS id. A name longer than the header cannot be valid.
bool level01RoomIsValid(const uint8_t* bytes) {
  const uint32_t lengthByte = bytes[0];
  const uint32_t nameLength = bytes[kHeaderStart - 1];
  if (nameLength > lengthByte) return false;
  const uint32_t room = lengthByte - nameLength;
  return room == 20 || room == 22 || room >= 24;
}

void takeLevel01Tail(const uint8_t* bytes, LzhHeader& header, WideString& nameText) {
  const uint32_t nameLength = bytes[kHeaderStart - 1];
  const uint32_t room = bytes[0] - nameLength;
  takeAnsiText(bytes + kHeaderStart, nameLength, false, nameText);
  const uint32_t after = kHeaderStart + nameLength;
  if (room >= 22) {
    header.crc = le16(bytes + after);
    header.hasCrc = 1;
  }
  if (room >= 24) header.osId = bytes[after + 2];
}

// Where a level keeps its extended-header chain. Levels 2 and 3 hold it inside their stated
// length (end); for level 1 (and a level byte above 3, read like it) each extended header
// follows the previous one and must fit the header buffer. Level 3 counts in 4-byte length
// fields, the others in 2-byte ones.
struct Chain {
  uint32_t firstLength;  // position of the first length field
  uint32_t end;          // levels 2 and 3: the stated header length
  uint32_t width;        // bytes of each length field
  bool insideHeader;
  // LHa for OS-9 writes level-2 lengths 2 short: the chain runs exactly to the stated end
  // and its final 0 length field lies just past it. This accepts exactly that (the header
  // then counts 2 bytes more); any other overrun is rejected.
  bool allowShortLength;
};

uint32_t lengthAt(const uint8_t* bytes, uint32_t at, uint32_t width) {
  return width == 4 ? le32(bytes + at) : le16(bytes + at);
}

// Checks the chain and asks for its bytes. On success *terminator is the position of the
// chain's final 0 length field.
HeaderParse scanExtendedHeaders(const uint8_t* bytes, size_t available, const Chain& chain, uint32_t* terminator) {
  const uint32_t limit = chain.insideHeader ? chain.end : HEADER_BUFFER_SIZE;
  uint32_t lengthField = chain.firstLength;
  for (;;) {
    const uint32_t size = lengthAt(bytes, lengthField, chain.width);
    if (size == 0) break;
    // Only the final 0 of a short level-2 length may lie past the end.
    if (lengthField + chain.width > limit) return unknownHeader();
    const uint32_t start = lengthField + chain.width;
    // S counts the type byte and the next length field at least.
    if (size < 1 + chain.width) return unknownHeader();
    if (size > limit - start) {
      const bool endsJustPast = chain.allowShortLength && size == chain.end + 2 - start &&
                                chain.end + 2 <= HEADER_BUFFER_SIZE;
      if (!endsJustPast) return unknownHeader();
    }
    if (available < start + size) return needMore(start + size);
    // The next length field ends this extended header.
    lengthField = start + size - chain.width;
  }
  *terminator = lengthField;
  return {HeaderParse::member, 0, nullptr};
}

// One extended header of a chain known to be well formed.
struct NameTexts {
  WideString name{u""};
  WideString directory;
  bool unicodeName = false;
  bool unicodeDirectory = false;
};

void applyExtendedHeader(uint8_t type, const uint8_t* data, uint32_t length, LzhHeader& header, NameTexts& texts) {
  switch (type) {
    case lzh::EXT_FILE_NAME:
      if (!texts.unicodeName) takeAnsiText(data, length, false, texts.name);
      break;
    case lzh::EXT_DIRECTORY:
      if (!texts.unicodeDirectory) takeAnsiText(data, length, true, texts.directory);
      break;
    case lzh::EXT_MSDOS_ATTRIBUTE:
      if ((header.osId == lzh::OS_MSDOS || header.osId == lzh::OS_HUMAN68K || header.osId == lzh::OS_NONE) &&
          length >= 1) {
        header.attribute = data[0];
      }
      break;
    case lzh::EXT_SIZES_64:
      // The full sizes of a member of 4 GiB or more. Level 1 counts its extended headers in
      // the packed size here too; they are subtracted afterwards as from the base field.
      if (length >= lzh::EXT_SIZES_64_DATA) {
        header.packedSize = le64(data);
        header.originalSize = le64(data + 8);
      }
      break;
    case lzh::EXT_UNICODE_NAME:
      takeUtf16Text(data, length, texts.name);
      texts.unicodeName = true;
      break;
    case lzh::EXT_UNICODE_DIRECTORY:
      takeUtf16Text(data, length, texts.directory);
      texts.directory.replaceSeparators(u'/');
      texts.unicodeDirectory = true;
      break;
    default:
      break;  // header CRC, time stamps, code page: not needed here
  }
}

HeaderOutcome reject(const char16_t* text, HeaderRejections rejections) {
  if (rejections == HeaderRejections::shown && g_runObserver != nullptr) {
    g_runObserver->showMessage(text, MessageKind::unknownHeader);
  }
  return HeaderOutcome::rejected;
}

}  // namespace

void LzhHeader::reset() {
  headerLength = 0;
  std::memset(method, 0, sizeof method);
  packedSize = 0;
  originalSize = 0;
  rawTime = 0;
  attribute = 0;
  level = 0;
  path.clear();
  crc = 0;
  hasCrc = 0;
  osId = 0;
  time = 0;
}

HeaderParse parseHeader(const uint8_t* bytes, size_t available, LzhHeader& header) {
  header.reset();
  if (available < kHeaderStart) return needMore(kHeaderStart);
  const uint8_t level = bytes[lzh::OFFSET_LEVEL];
  // A single byte 0 ends the archive; a level-2 header whose 16-bit length is a multiple of
  // 256 also begins with 0 and is told apart by its level byte and a length that can hold
  // its base header.
  if (bytes[0] == 0 && !(level == lzh::LEVEL_2 && le16(bytes) >= kLevel2BaseSize)) {
    return {HeaderParse::endOfArchive, 0, nullptr};
  }

  // The stated length (end): for levels 2 and 3 the whole header, extended headers
  // included; for the others the base header.
  const bool statesWholeLength = level == lzh::LEVEL_2 || level == lzh::LEVEL_3;
  uint32_t minimum = kHeaderStart;
  Chain chain{};
  if (level == lzh::LEVEL_3) {
    if (available < kLevel3FirstLength) return needMore(kLevel3FirstLength);
    if (le16(bytes) != kLevel3WordSize) return unknownHeader();
    minimum = kLevel3BaseSize;
    chain = {kLevel3FirstLength, le32(bytes + kLevel3HeaderSize), 4, true, false};
  } else if (level == lzh::LEVEL_2) {
    minimum = kLevel2BaseSize;
    chain = {kLevel2FirstLength, le16(bytes), 2, true, true};
  } else {
    const uint32_t baseEnd = static_cast<uint32_t>(bytes[0]) + 2;
    chain = {baseEnd - 2, baseEnd, 2, false, false};
  }
  const uint32_t end = chain.end;
  if (end < minimum || end > HEADER_BUFFER_SIZE) return unknownHeader();
  if (available < end) return needMore(end);
  if (!statesWholeLength && !level01RoomIsValid(bytes)) return unknownHeader();

  uint32_t terminator = end - 2;  // level 0 ends with its base header
  if (level != lzh::LEVEL_0) {
    const HeaderParse scan = scanExtendedHeaders(bytes, available, chain, &terminator);
    if (scan.status != HeaderParse::member) return scan;
  }

  takeBaseFields(bytes, header);
  NameTexts texts;
  if (statesWholeLength) {
    header.crc = le16(bytes + 21);
    header.osId = bytes[23];
    header.hasCrc = 1;
  } else {
    takeLevel01Tail(bytes, header, texts.name);
  }

  if (level != lzh::LEVEL_0) {
    const uint32_t width = chain.width;
    uint32_t lengthField = chain.firstLength;
    for (uint32_t size; (size = lengthAt(bytes, lengthField, width)) != 0; lengthField += size) {
      applyExtendedHeader(bytes[lengthField + width], bytes + lengthField + width + 1, size - 1 - width, header,
                          texts);
    }
    if (!statesWholeLength) {
      // The stored packed size of level 1 counts the extended headers that follow the base
      // header; a smaller one cannot be valid.
      const uint32_t extendedBytes = terminator - (end - 2);
      if (extendedBytes > header.packedSize) return unknownHeader();
      header.packedSize -= extendedBytes;
      header.headerLength = static_cast<uint8_t>(header.headerLength + extendedBytes);
    }
  }

  header.path.assign(texts.directory.hasText() ? texts.directory.c_str() : u"");
  // Some archivers (Amiga LHA among them) leave out the directory's final separator; the
  // directory and the name are two path parts all the same.
  if (!header.path.isEmpty() && *header.path.charAt(header.path.length() - 1) != u'/') header.path.appendChar(u'/');
  header.path.append(texts.name);
  header.time = statesWholeLength ? static_cast<int64_t>(static_cast<int32_t>(header.rawTime))
                                  : dosTimeToUnixTime(header.rawTime);
  // Levels 2 and 3 occupy their stated length (level 2 two more when its final 0 lies past
  // it); the others end with the chain's last length field.
  const uint32_t size = statesWholeLength ? std::max(end, terminator + chain.width) : terminator + 2;
  return {HeaderParse::member, size, nullptr};
}

HeaderOutcome readHeader(SfxApp& app, LzhHeader& header, HeaderRejections rejections) {
  header.reset();
  if (app.archiveFile == nullptr) return HeaderOutcome::endOfArchive;
  FileObject& file = *app.archiveFile;
  uint8_t buffer[HEADER_BUFFER_SIZE];
  uint32_t have = 0;
  for (;;) {
    const HeaderParse parse = parseHeader(buffer, have, header);
    switch (parse.status) {
      case HeaderParse::member: return HeaderOutcome::member;
      case HeaderParse::endOfArchive: return HeaderOutcome::endOfArchive;
      case HeaderParse::rejected: return reject(parse.rejection, rejections);
      case HeaderParse::needMore: break;
    }
    // parseHeader never asks for more than the buffer holds.
    const uint32_t wanted = parse.size - have;
    const int32_t got = file.read(wanted, buffer + have);
    if (got != static_cast<int32_t>(wanted)) {
      // The file ends inside the first bytes: after a 0 that is the end of the archive (an
      // end mark with nothing after it), otherwise a header cut short.
      const uint32_t reached = have + (got > 0 ? static_cast<uint32_t>(got) : 0);
      if (have < kHeaderStart && (reached == 0 || buffer[0] == 0)) return HeaderOutcome::endOfArchive;
      return reject(kTruncatedHeaderText, rejections);
    }
    have = parse.size;
  }
}

int32_t findUnixLinkBar(const LzhHeader& header) {
  if (std::memcmp(header.method, "-lhd-", 5) != 0) return -1;
  const char16_t* path = header.path.c_str();
  for (uint32_t i = 0; path[i] != 0; ++i) {
    if (path[i] == u'|') return static_cast<int32_t>(i);
  }
  return -1;
}

int64_t dosTimeToUnixTime(uint32_t dosTime) {
  if (dosTime == 0) return 0;
  static constexpr int32_t kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const int64_t seconds = 2 * (dosTime & 0x1F);
  const int64_t minutes = (dosTime >> 5) & 0x3F;
  const int64_t hours = (dosTime >> 11) & 0x1F;
  const int64_t day = (dosTime >> 16) & 0x1F;
  uint32_t month = (dosTime >> 21) & 0x0F;
  const int64_t year = 1980 + ((dosTime >> 25) & 0x7F);
  // Month 0 and 13 to 15 do not exist; they count like the nearest real month rather than
  // indexing outside the table.
  if (month < 1) month = 1;
  if (month > 12) month = 12;
  // Every fourth year is a leap year up to 2099; 2100, inside the MS-DOS range, is not.
  int64_t days = (year - 1970) * 365 + (year - 1969) / 4 + kDaysBeforeMonth[month - 1] + (day - 1);
  if (year % 4 == 0 && month >= 3) ++days;
  if (year > 2100 || (year == 2100 && month >= 3)) --days;
  // Kept in 64 bits: MS-DOS dates run to 2107, past the end of a signed 32-bit time.
  return ((days * 24 + hours) * 60 + minutes) * 60 + seconds + platform::timezoneOffsetSeconds();
}

void replaceSeparatorsMbcs(char* text, char replacement) {
  auto* p = reinterpret_cast<unsigned char*>(text);
  while (*p != 0) {
    const unsigned char c = *p;
    if (((c >= 0x80 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) && p[1] != 0) {
      p += 2;  // a Shift_JIS lead byte: its trail byte may be 0x5C and is not a separator
      continue;
    }
    if (c == 0x5C || c == 0x2F || c == 0xFF) *p = static_cast<unsigned char>(replacement);
    ++p;
  }
}
