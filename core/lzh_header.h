// LZH member headers of levels 0, 1, 2 and 3.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/lzh_format.h"
#include "core/wide_string.h"

struct SfxApp;

// The fields of a member header that need no conversion.
struct HeaderFields {
  uint8_t method[5] = {};
  // 64-bit: members of 4 GiB and more carry their sizes in extended header 0x42, and the
  // base header's 32-bit fields then hold only the low 32 bits.
  uint64_t packedSize = 0;  // packed data only (level-1 extended headers subtracted)
  uint64_t originalSize = 0;
  uint32_t rawTime = 0;  // MS-DOS local date/time (levels 0, 1) or Unix time (levels 2, 3)
  uint8_t attribute = 0;
  uint8_t level = 0;
  uint16_t crc = 0;
  uint8_t hasCrc = 0;
  uint8_t osId = 0;
};

// A text of the header as stored: where its bytes lie among the header's bytes.
struct HeaderText {
  uint32_t offset = 0;
  uint32_t size = 0;
  bool present = false;
};

// What parseHeader reads from the bytes alone: the fields, and where the texts are.
struct RawHeader : HeaderFields {
  HeaderText name;              // ANSI: the base header's (levels 0, 1), or extended header 0x01
  HeaderText directory;         // ANSI, extended header 0x02: parts ended by 0xFF, "\" or "/"
  HeaderText unicodeName;       // UTF-16LE, extended header 0x44: wins over the ANSI name
  HeaderText unicodeDirectory;  // UTF-16LE, extended header 0x45: wins over the ANSI directory
};

// One member header as the run uses it.
struct LzhHeader : HeaderFields {
  WideString path;   // directory text followed directly by the name text
  int64_t time = 0;  // modification time, seconds since 1970-01-01 UTC

  void reset() {
    static_cast<HeaderFields&>(*this) = HeaderFields();
    path.clear();
    time = 0;
  }
};

enum class HeaderStatus : uint8_t {
  member,        // the header is whole
  endOfArchive,  // the end mark: the byte 0 where a header would begin
  endOfFile,     // readHeader only: the file ends where a header would begin, without an end mark
  rejected,      // damaged, truncated or of an unknown kind
  needMore,      // parseHeader only: more bytes are needed
};

// What parseHeader makes of the bytes it was given.
struct HeaderParse {
  HeaderStatus status;
  // member: the number of header bytes; needMore: the number of bytes needed in all (never
  // above HEADER_BUFFER_SIZE).
  uint32_t size;
  const char16_t* rejection;  // rejected: the text for the user
};

// Parses the member header at bytes[0 .. available): no file, no code page, no time zone.
// Looks at no byte beyond the ones it has asked for, so a caller may feed it exactly what it
// asks for and nothing more. raw holds the member only when the result is member.
HeaderParse parseHeader(const uint8_t* bytes, size_t available, RawHeader& raw);

// The member header as the run uses it, from a parsed header and its bytes: the texts
// converted (ANSI through the chosen code page) and joined into the path, the time in UTC
// (the MS-DOS times of levels 0 and 1 are local, in the process's time zone).
void completeHeader(const uint8_t* bytes, const RawHeader& raw, LzhHeader& header);

// Whether a rejected header is shown through the application's observer ("Unknown header")
// or only reported by the result, as the pre-scan wants it.
enum class HeaderRejections { shown, quiet };

// Reads the next member header from the application's archive file, exactly as many bytes
// as it needs: on member the file stands on the member's packed data. A byte 0 is the end of
// the archive, also when the file ends right after it; a file that ends where a header would
// begin is endOfFile: a cut download, or one of the archivers that write no end mark. Never
// returns needMore.
HeaderStatus readHeader(SfxApp& app, LzhHeader& header, HeaderRejections rejections = HeaderRejections::shown);

// LHa for Unix stores a symbolic link as a directory entry ("-lhd-") named "name|target".
// Returns the index of that "|" in the stored path, or -1 for any other member. A link is
// never made: the stub cannot make one on Windows, and a link is the classic way to steer
// later members out of the destination. It is found on the path as stored, before the name
// rules turn "|" into something Windows accepts.
int32_t findUnixLinkBar(const LzhHeader& header);

// MS-DOS date/time (local, date in the high word) to a Unix time, for a zone
// timezoneOffsetSeconds west of UTC.
int64_t dosTimeToUnixTime(uint32_t dosTime, int32_t timezoneOffsetSeconds);

// Replaces "\", "/" and 0xFF by replacement in a NUL-terminated ANSI string, passing over the
// trail byte of every Shift_JIS double-byte character.
void replaceSeparatorsMbcs(char* text, char replacement);
