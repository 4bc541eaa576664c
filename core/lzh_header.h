// LZH member headers of levels 0, 1, 2 and 3.
#pragma once

#include <cstdint>

#include "core/lzh_format.h"
#include "core/wide_string.h"

struct SfxApp;


struct LzhHeader {
  uint8_t headerLength = 0;
  uint8_t method[5] = {};
  // 64-bit: members of 4 GiB and more carry their sizes in extended header 0x42, and the
  // base header's 32-bit fields then hold only the low 32 bits.
  uint64_t packedSize = 0;  // packed data only (level-1 extended headers subtracted)
  uint64_t originalSize = 0;
  uint32_t rawTime = 0;  // MS-DOS local date/time (levels 0, 1) or Unix time (level 2)
  uint8_t attribute = 0;
  uint8_t level = 0;
  WideString path;  // directory text followed directly by the name text
  uint16_t crc = 0;
  uint8_t hasCrc = 0;
  uint8_t osId = 0;
  int64_t time = 0;  // modification time, seconds since 1970-01-01 UTC

  void reset();
};

enum class HeaderOutcome {
  member,        // the record holds the next member; the file stands on its packed data
  endOfArchive,  // the end-of-archive byte 0, or the file ends where a header would begin
  rejected,      // a damaged, truncated or unsupported header; the reader has said so
};

// Whether a rejected header is shown through the run observer ("Unknown header") or only
// reported by the result, as the pre-scan wants it.
enum class HeaderRejections { shown, quiet };

// What parseHeader makes of the bytes it was given.
struct HeaderParse {
  enum Status : uint8_t {
    member,        // the record holds the member; size is the number of header bytes
    endOfArchive,  // the end-of-archive byte 0
    rejected,      // damaged or of an unknown kind; rejection says which, for the user
    needMore,      // size is the number of bytes needed in all (never above HEADER_BUFFER_SIZE)
  };
  Status status;
  uint32_t size;
  const char16_t* rejection;
};

// Parses the member header at bytes[0 .. available). Looks at no byte beyond the ones it
// has asked for, so a caller may feed it exactly what it asks for and nothing more. The
// record is reset first and holds the member only when the result is member.
HeaderParse parseHeader(const uint8_t* bytes, size_t available, LzhHeader& header);

// Reads the next member header from the application's archive file, exactly as many bytes
// as it needs: on member the file stands on the member's packed data. An archive file that
// ends where a header would begin, or right after a byte 0, is the end of the archive.
HeaderOutcome readHeader(SfxApp& app, LzhHeader& header, HeaderRejections rejections = HeaderRejections::shown);

// LHa for Unix stores a symbolic link as a directory entry ("-lhd-") named "name|target".
// Returns the index of that "|" in the stored path, or -1 for any other member. A link is
// never made: the stub cannot make one on Windows, and a link is the classic way to steer
// later members out of the destination. It is found on the path as stored, before the name
// rules turn "|" into something Windows accepts.
int32_t findUnixLinkBar(const LzhHeader& header);

// MS-DOS date/time (local, date in the high word) to a Unix time, with the runtime's zone.
int64_t dosTimeToUnixTime(uint32_t dosTime);

// Replaces "\", "/" and 0xFF by replacement in a NUL-terminated ANSI string, passing over the
// trail byte of every Shift_JIS double-byte character.
void replaceSeparatorsMbcs(char* text, char replacement);
