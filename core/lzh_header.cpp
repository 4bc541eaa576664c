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
// the member's packed data, then converts the texts and the time (completeHeader).
#include "core/lzh_header.h"

#include <algorithm>
#include <cstring>

#include "core/app.h"
#include "core/file_object.h"
#include "decode/method_list.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t kHeaderStart = 22;     // bytes needed before the level is known
constexpr uint32_t kLevel2BaseSize = 26;  // level-2 base header with its first length field
constexpr uint32_t kLevel2FirstLength = 24;
constexpr uint32_t kLevel3WordSize = 4;    // the first 2 bytes of a level-3 header
constexpr uint32_t kLevel3HeaderSize = 24;  // 4-byte total header size
constexpr uint32_t kLevel3FirstLength = 28;
constexpr uint32_t kLevel3BaseSize = 32;  // level-3 base header with its first length field
static_assert(kHeaderStart == lzh::OFFSET_NAME && kHeaderStart == lzh::OFFSET_LEVEL + 2);

constexpr char16_t kUnknownHeaderText[] = u"Unknown header";
constexpr char16_t kTruncatedHeaderText[] = u"Truncated header";

HeaderParse needMore(uint32_t total) { return {HeaderStatus::needMore, total, nullptr}; }
HeaderParse unknownHeader() { return {HeaderStatus::rejected, 0, kUnknownHeaderText}; }

// The fields at the same place in every level.
void takeBaseFields(const uint8_t* bytes, RawHeader& raw) {
  std::memcpy(raw.method, bytes + lzh::OFFSET_METHOD, 5);
  raw.packedSize = le32(bytes + lzh::OFFSET_PACKED_SIZE);
  raw.originalSize = le32(bytes + lzh::OFFSET_ORIGINAL_SIZE);
  raw.rawTime = le32(bytes + lzh::OFFSET_TIME);
  raw.attribute = bytes[lzh::OFFSET_ATTRIBUTE];
  raw.level = bytes[lzh::OFFSET_LEVEL];
}

// Levels 0 and 1: the room R = L - N after the name says what follows it: 20 nothing, 22 the
// CRC, 24 or more the CRC and the OS id. A name longer than the header cannot be valid.
bool level01RoomIsValid(const uint8_t* bytes) {
  const uint32_t lengthByte = bytes[0];
  const uint32_t nameLength = bytes[lzh::OFFSET_NAME_LENGTH];
  if (nameLength > lengthByte) return false;
  const uint32_t room = lengthByte - nameLength;
  return room == 20 || room == 22 || room >= 24;
}

void takeLevel01Tail(const uint8_t* bytes, RawHeader& raw) {
  const uint32_t nameLength = bytes[lzh::OFFSET_NAME_LENGTH];
  const uint32_t room = bytes[0] - nameLength;
  raw.name = {lzh::OFFSET_NAME, nameLength, true};
  const uint32_t after = lzh::OFFSET_NAME + nameLength;
  if (room >= 22) {
    raw.crc = le16(bytes + after);
    raw.hasCrc = 1;
  }
  if (room >= 24) raw.osId = bytes[after + 2];
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

// One extended header of type `type` whose data (length bytes) starts at offset `data`.
void takeExtendedHeader(const uint8_t* bytes, uint8_t type, uint32_t data, uint32_t length, RawHeader& raw) {
  switch (type) {
    case lzh::EXT_FILE_NAME:
      raw.name = {data, length, true};
      break;
    case lzh::EXT_DIRECTORY:
      raw.directory = {data, length, true};
      break;
    case lzh::EXT_MSDOS_ATTRIBUTE:
      if ((raw.osId == lzh::OS_MSDOS || raw.osId == lzh::OS_HUMAN68K || raw.osId == lzh::OS_NONE) && length >= 1) {
        raw.attribute = bytes[data];
      }
      break;
    case lzh::EXT_SIZES_64:
      // The full sizes of a member of 4 GiB or more. Level 1 counts its extended headers in
      // the packed size here too; they are subtracted afterwards as from the base field.
      if (length >= lzh::EXT_SIZES_64_DATA) {
        raw.packedSize = le64(bytes + data);
        raw.originalSize = le64(bytes + data + 8);
      }
      break;
    case lzh::EXT_UNICODE_NAME:
      raw.unicodeName = {data, length, true};
      break;
    case lzh::EXT_UNICODE_DIRECTORY:
      raw.unicodeDirectory = {data, length, true};
      break;
    default:
      break;  // header CRC, time stamps, code page: not needed here
  }
}

// Walks the chain once: checks each extended header, asks for its bytes, and takes it. On
// success *terminator is the position of the chain's final 0 length field.
HeaderParse walkExtendedHeaders(const uint8_t* bytes, size_t available, const Chain& chain, RawHeader& raw,
                                uint32_t* terminator) {
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
    takeExtendedHeader(bytes, bytes[start], start + 1, size - 1 - chain.width, raw);
    // The next length field ends this extended header.
    lengthField = start + size - chain.width;
  }
  *terminator = lengthField;
  return {HeaderStatus::member, 0, nullptr};
}

// An ANSI text; separatorBytes turns the directory separators ("\", "/", 0xFF) into "/"
// first, passing over Shift_JIS trail bytes.
void takeAnsiText(const uint8_t* bytes, const HeaderText& text, bool separatorBytes, WideString& target) {
  char buffer[HEADER_BUFFER_SIZE + 1];
  std::memcpy(buffer, bytes + text.offset, text.size);
  buffer[text.size] = 0;
  if (separatorBytes) replaceSeparatorsMbcs(buffer, '/');
  target.assignFromAnsi(buffer);
}

// A UTF-16LE text (an odd last byte is not part of any unit).
void takeUtf16Text(const uint8_t* bytes, const HeaderText& text, WideString& target) {
  const uint32_t units = text.size / 2;
  auto* buffer = new char16_t[units + 1];
  for (uint32_t i = 0; i < units; ++i) buffer[i] = le16(bytes + text.offset + 2 * i);
  buffer[units] = 0;
  target.adopt(buffer);
}

HeaderStatus reject(SfxApp& app, const char16_t* text, HeaderRejections rejections) {
  if (rejections == HeaderRejections::shown) app.observer().showMessage(text, MessageKind::unknownHeader);
  return HeaderStatus::rejected;
}

}  // namespace

HeaderParse parseHeader(const uint8_t* bytes, size_t available, RawHeader& raw) {
  raw = RawHeader();
  if (available < kHeaderStart) return needMore(kHeaderStart);
  const uint8_t level = bytes[lzh::OFFSET_LEVEL];
  // A single byte 0 ends the archive; a level-2 header whose 16-bit length is a multiple of
  // 256 also begins with 0 and is told apart by its level byte and a length that can hold
  // its base header.
  if (bytes[0] == 0 && !(level == lzh::LEVEL_2 && le16(bytes) >= kLevel2BaseSize)) {
    return {HeaderStatus::endOfArchive, 0, nullptr};
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

  // The base header first: the extended headers are read against its OS id.
  takeBaseFields(bytes, raw);
  if (statesWholeLength) {
    raw.crc = le16(bytes + lzh::OFFSET_WHOLE_LENGTH_CRC);
    raw.osId = bytes[lzh::OFFSET_WHOLE_LENGTH_OS];
    raw.hasCrc = 1;
  } else {
    takeLevel01Tail(bytes, raw);
  }

  uint32_t terminator = end - 2;  // level 0 ends with its base header
  if (level != lzh::LEVEL_0) {
    const HeaderParse walk = walkExtendedHeaders(bytes, available, chain, raw, &terminator);
    if (walk.status != HeaderStatus::member) return walk;
    if (!statesWholeLength) {
      // The stored packed size of level 1 counts the extended headers that follow the base
      // header; a smaller one cannot be valid.
      const uint32_t extendedBytes = terminator - (end - 2);
      if (extendedBytes > raw.packedSize) return unknownHeader();
      raw.packedSize -= extendedBytes;
    }
  }
  // Levels 2 and 3 occupy their stated length (level 2 two more when its final 0 lies past
  // it); the others end with the chain's last length field.
  const uint32_t size = statesWholeLength ? std::max(end, terminator + chain.width) : terminator + 2;
  return {HeaderStatus::member, size, nullptr};
}

void completeHeader(const uint8_t* bytes, const RawHeader& raw, LzhHeader& header) {
  static_cast<HeaderFields&>(header) = raw;
  WideString name(u"");
  if (raw.unicodeName.present) {
    takeUtf16Text(bytes, raw.unicodeName, name);
  } else if (raw.name.present) {
    takeAnsiText(bytes, raw.name, false, name);
  }
  header.path.assign(u"");
  if (raw.unicodeDirectory.present) {
    takeUtf16Text(bytes, raw.unicodeDirectory, header.path);
    header.path.replaceSeparators(u'/');
  } else if (raw.directory.present) {
    takeAnsiText(bytes, raw.directory, true, header.path);
  }
  // Some archivers (Amiga LHA among them) leave out the directory's final separator; the
  // directory and the name are two path parts all the same.
  if (!header.path.isEmpty() && *header.path.charAt(header.path.length() - 1) != u'/') header.path.appendChar(u'/');
  header.path.append(name);
  const bool unixTime = raw.level == lzh::LEVEL_2 || raw.level == lzh::LEVEL_3;
  header.time = unixTime ? static_cast<int64_t>(static_cast<int32_t>(raw.rawTime))
                         : dosTimeToUnixTime(raw.rawTime, platform::timezoneOffsetSeconds());
}

HeaderStatus readHeader(SfxApp& app, LzhHeader& header, HeaderRejections rejections) {
  header.reset();
  if (app.archiveFile == nullptr) return HeaderStatus::endOfArchive;
  FileObject& file = *app.archiveFile;
  uint8_t buffer[HEADER_BUFFER_SIZE];
  uint32_t have = 0;
  RawHeader raw;
  for (;;) {
    const HeaderParse parse = parseHeader(buffer, have, raw);
    switch (parse.status) {
      case HeaderStatus::member:
        completeHeader(buffer, raw, header);
        return HeaderStatus::member;
      case HeaderStatus::endOfArchive: return HeaderStatus::endOfArchive;
      case HeaderStatus::rejected: return reject(app, parse.rejection, rejections);
      case HeaderStatus::endOfFile:
      case HeaderStatus::needMore: break;
    }
    // parseHeader never asks for more than the buffer holds.
    const uint32_t wanted = parse.size - have;
    const int32_t got = file.read(wanted, buffer + have);
    if (got != static_cast<int32_t>(wanted)) {
      // The file ends inside the first bytes: after a 0 that is the end of the archive (an
      // end mark with fewer than 21 bytes after it), before any byte the end of the file,
      // otherwise a header cut short.
      const uint32_t reached = have + (got > 0 ? static_cast<uint32_t>(got) : 0);
      if (have < kHeaderStart && reached == 0 && got == 0) return HeaderStatus::endOfFile;
      if (have < kHeaderStart && reached > 0 && buffer[0] == 0) return HeaderStatus::endOfArchive;
      return reject(app, kTruncatedHeaderText, rejections);
    }
    have = parse.size;
  }
}

int32_t findUnixLinkBar(const LzhHeader& header) {
  if (findMethodNumber(header.method) != METHOD_DIRECTORY) return -1;
  const char16_t* path = header.path.c_str();
  for (uint32_t i = 0; path[i] != 0; ++i) {
    if (path[i] == u'|') return static_cast<int32_t>(i);
  }
  return -1;
}

int64_t dosTimeToUnixTime(uint32_t dosTime, int32_t timezoneOffsetSeconds) {
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
  return ((days * 24 + hours) * 60 + minutes) * 60 + seconds + timezoneOffsetSeconds;
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
