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
// Extended header of length S: type byte, S - 3 data bytes, 2-byte length of the next one.
// The level byte sits at offset 20 in every level, so the first 22 bytes are read before
// anything depends on the level.
#include "core/lzh_header.h"

#include <cstring>

#include "core/app.h"
#include "core/file_object.h"
#include "core/run_observer.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t kHeaderStart = 22;      // bytes read before the level is known
constexpr uint32_t kLevel2BaseSize = 26;   // level-2 base header with its first length field
constexpr uint32_t kMinimumExtSize = 3;    // type byte + next length field

constexpr char16_t kUnknownHeaderText[] = u"Unknown header";
constexpr char16_t kTruncatedHeaderText[] = u"Truncated header";

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

HeaderOutcome reject(const char16_t* text, HeaderRejections rejections) {
  if (rejections == HeaderRejections::shown && g_runObserver != nullptr) {
    g_runObserver->showMessage(text, MessageKind::unknownHeader);
  }
  return HeaderOutcome::rejected;
}

bool readExactly(FileObject& file, uint8_t* destination, uint32_t count) {
  return count == 0 || file.read(count, destination) == static_cast<int32_t>(count);
}

enum class StartOutcome { header, end, truncated };

// Reads the first 22 bytes of a header into start. A single byte 0 ends the archive; a
// level-2 header whose 16-bit length is a multiple of 256 also begins with 0 and is told
// apart by its level byte and a length that can hold its base header.
StartOutcome readHeaderStart(FileObject& file, uint8_t* start) {
  if (file.readByte(&start[0]) != 1) return StartOutcome::end;
  const int32_t got = file.read(kHeaderStart - 1, start + 1);
  const bool complete = got == static_cast<int32_t>(kHeaderStart - 1);
  if (start[0] == 0) {
    if (complete && start[20] == 2 && le16(start) >= kLevel2BaseSize) return StartOutcome::header;
    return StartOutcome::end;
  }
  return complete ? StartOutcome::header : StartOutcome::truncated;
}

// Total bytes of the header whose first 22 bytes are in start, as its level counts them:
// the 16-bit length for level 2, L + 2 for the base header of the other levels.
uint32_t baseHeaderSize(const uint8_t* start) {
  return start[20] == 2 ? le16(start) : static_cast<uint32_t>(start[0]) + 2;
}

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

HeaderOutcome readMemberHeader(SfxApp& app, LzhHeader& header, HeaderRejections rejections) {
  header.reset();
  if (app.archiveFile == nullptr) return HeaderOutcome::endOfArchive;
  FileObject& file = *app.archiveFile;

  uint8_t buffer[HEADER_BUFFER_SIZE] = {};
  switch (readHeaderStart(file, buffer)) {
    case StartOutcome::end: return HeaderOutcome::endOfArchive;
    case StartOutcome::truncated: return reject(kTruncatedHeaderText, rejections);
    case StartOutcome::header: break;
  }

  const uint32_t lengthByte = buffer[0];
  const uint8_t level = buffer[20];
  // For level 2 the whole header, extended headers included; for the others the base header.
  uint32_t headerEnd = baseHeaderSize(buffer);
  if (level == 2 ? headerEnd < kLevel2BaseSize : headerEnd < kHeaderStart) return reject(kUnknownHeaderText, rejections);
  if (headerEnd > HEADER_BUFFER_SIZE) return reject(kUnknownHeaderText, rejections);
  if (!readExactly(file, buffer + kHeaderStart, headerEnd - kHeaderStart)) return reject(kTruncatedHeaderText, rejections);

  header.headerLength = static_cast<uint8_t>(lengthByte);
  std::memcpy(header.method, buffer + 2, 5);
  header.packedSize = le32(buffer + 7);
  header.originalSize = le32(buffer + 11);
  header.rawTime = le32(buffer + 15);
  header.attribute = buffer[19];
  header.level = level;

  WideString nameText(u"");
  WideString directoryText;
  bool unicodeNameTaken = false;
  bool unicodeDirectoryTaken = false;

  if (level == 2) {
    header.crc = le16(buffer + 21);
    header.osId = buffer[23];
    header.hasCrc = 1;
  } else {
    // The room R after the name says what follows it: 20 nothing, 22 the CRC, 24 or more the
    // CRC and the OS id. A name longer than the header cannot be valid.
    const uint32_t nameLength = buffer[21];
    if (nameLength > lengthByte) return reject(kUnknownHeaderText, rejections);
    const uint32_t room = lengthByte - nameLength;
    if (room != 20 && room != 22 && room < 24) return reject(kUnknownHeaderText, rejections);
    takeAnsiText(buffer + kHeaderStart, nameLength, false, nameText);
    const uint32_t after = kHeaderStart + nameLength;
    if (room >= 22) {
      header.crc = le16(buffer + after);
      header.hasCrc = 1;
    }
    if (room >= 24) header.osId = buffer[after + 2];
  }

  if (level != 0) {
    // Position of the length field of the next extended header. Level 2 holds its extended
    // headers inside its own length; level 1 (and a level byte above 2, read like it) ends
    // its base header with the first length field and the extended headers follow it.
    uint32_t lengthField = level == 2 ? 24 : lengthByte;
    const uint32_t firstLengthField = lengthField;
    for (;;) {
      const uint32_t size = le16(buffer + lengthField);
      const uint32_t start = lengthField + 2;
      if (size == 0) break;
      if (size < kMinimumExtSize) return reject(kUnknownHeaderText, rejections);
      if (level == 2) {
        if (size > headerEnd - start) return reject(kUnknownHeaderText, rejections);
      } else {
        if (size > HEADER_BUFFER_SIZE - start) return reject(kUnknownHeaderText, rejections);
        if (!readExactly(file, buffer + start, size)) return reject(kTruncatedHeaderText, rejections);
        headerEnd = start + size;
      }
      const uint8_t type = buffer[start];
      const uint8_t* data = buffer + start + 1;
      const uint32_t dataLength = size - kMinimumExtSize;
      switch (type) {
        case 0x01:
          if (!unicodeNameTaken) takeAnsiText(data, dataLength, false, nameText);
          break;
        case 0x02:
          if (!unicodeDirectoryTaken) takeAnsiText(data, dataLength, true, directoryText);
          break;
        case 0x40:
          if ((header.osId == 0x4D || header.osId == 0x48 || header.osId == 0) && dataLength >= 1) {
            header.attribute = data[0];
          }
          break;
        case 0x44:
          takeUtf16Text(data, dataLength, nameText);
          unicodeNameTaken = true;
          break;
        case 0x45:
          takeUtf16Text(data, dataLength, directoryText);
          directoryText.replaceSeparators(u'/');
          unicodeDirectoryTaken = true;
          break;
        default:
          break;  // header CRC, time stamps, 64-bit sizes, code page: not needed here
      }
      lengthField = start + size - 2;
    }

    if (level != 2) {
      // The stored packed size of level 1 counts the extended headers that follow the base
      // header; a smaller one cannot be valid.
      const uint32_t extendedBytes = lengthField - firstLengthField;
      if (extendedBytes > header.packedSize) return reject(kUnknownHeaderText, rejections);
      header.packedSize -= extendedBytes;
      header.headerLength = static_cast<uint8_t>(header.headerLength + extendedBytes);
    }
  }

  header.path.assign(directoryText.hasText() ? directoryText.c_str() : u"");
  header.path.append(nameText);
  header.time = level == 2 ? static_cast<int64_t>(static_cast<int32_t>(header.rawTime))
                           : dosTimeToUnixTime(header.rawTime);
  return HeaderOutcome::member;
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
