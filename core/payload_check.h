// The whole payload checked before anything is written: every member header, every member's
// packed data inside the file, the archive's end mark, and the trailer's checksum when the
// file has one. A cut or damaged download is refused at start-up instead of failing half-way
// through an install.
#pragma once

#include <cstdint>

#include "core/wide_string.h"

struct SfxApp;

// The trailer that zsfx make writes right behind the archive's end mark: an 8-byte mark,
// then the CRC-32 of the settings block and the archive, end mark included (little-endian).
// The mark starts with 0, so that the end mark and the bytes after it can never read as the
// start of a level-2 header (whose first byte may be 0 too). Other LZH tools stop at the end
// mark and never see it; an Authenticode signature added later goes after it.
inline constexpr uint8_t PAYLOAD_TRAILER_MARK[8] = {0, 'Z', 'S', 'F', 'X', 'C', 'R', 'C'};
inline constexpr uint32_t PAYLOAD_TRAILER_SIZE = 12;

enum class PayloadProblem : uint8_t {
  none,
  damagedHeader,     // a member header is damaged, of an unknown kind or cut short
  dataPastEnd,       // a member's packed data runs past the end of the file
  noEndMark,         // the file ends where a header would begin, without the end mark
  checksumMismatch,  // the trailer's CRC-32 differs from the file's
  readFailed,        // the file could not be read or positioned
};

struct PayloadSurvey {
  PayloadProblem problem = PayloadProblem::none;
  // The member concerned: the one whose data runs past the end, or the last one read before
  // a damaged header (no text when there was none).
  WideString member;
  uint32_t members = 0;
  uint64_t totalBytes = 0;     // the sum of the original sizes: the progress bar's total
  uint64_t largestMember = 0;  // the largest original size
  int64_t endMark = -1;        // where the end mark is, when there is one
  bool hasChecksum = false;    // the trailer was there (and matched, unless checksumMismatch)
  // The suffixes of temporary names that some member's path ends with (suffixesEndingPath):
  // the run uses none of them, so that no temporary file lands on a member.
  uint16_t takenSuffixes = 0;
};

// Walks every header of app's archive from its start (app.archiveStart), quietly, and then,
// when the trailer is there, checks the CRC-32 from app.payloadStart to the end mark. The
// file is left on the archive's first header.
void surveyPayload(SfxApp& app, PayloadSurvey& survey);
