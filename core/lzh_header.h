// LZH member headers of levels 0, 1 and 2.
#pragma once

#include <cstdint>

#include "core/wide_string.h"

struct SfxApp;

// One header, base header plus level-1 extended headers, is read into a buffer of this size.
inline constexpr uint32_t HEADER_BUFFER_SIZE = 4096;

struct LzhHeader {
  uint8_t headerLength = 0;
  uint8_t method[5] = {};
  uint32_t packedSize = 0;  // packed data only (level-1 extended headers subtracted)
  uint32_t originalSize = 0;
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

// Reads the next member header from the application's archive file.
HeaderOutcome readMemberHeader(SfxApp& app, LzhHeader& header,
                               HeaderRejections rejections = HeaderRejections::shown);

// MS-DOS date/time (local, date in the high word) to a Unix time, with the runtime's zone.
int64_t dosTimeToUnixTime(uint32_t dosTime);

// Replaces "\", "/" and 0xFF by replacement in a NUL-terminated ANSI string, passing over the
// trail byte of every Shift_JIS double-byte character.
void replaceSeparatorsMbcs(char* text, char replacement);
