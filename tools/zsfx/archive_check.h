// The zsfx test walk: every member decoded into the null device and judged exactly as the
// run judges it, nothing written. zsfx test reports it; zsfx make refuses to wrap an archive
// that does not pass it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/app.h"

struct MemberTestReport {
  uint32_t members = 0;   // member headers read, directory entries included
  uint32_t tested = 0;    // file members decoded
  uint32_t failed = 0;
  uint32_t skipped = 0;   // links and unknown methods: the stub passes over them without a word
  uint32_t links = 0;     // Unix link entries ("name|target"), counted in skipped too
  bool rejected = false;  // a header was rejected, or the archive could not be positioned
  std::u16string firstFailed;   // path of the first member that failed
  std::u16string firstSkipped;  // path of the first member of an unknown method
  // Stored paths of the link entries: zsfx make accepts links but names them in a warning.
  std::vector<std::u16string> linkPaths;
  std::u16string lastMember;    // path of the last member read (a rejected header follows it)

  bool passed() const { return failed == 0 && !rejected; }
};

// Walks app's archive from its current position, after surveyPayload has filled
// app.payload. Failures are shown through app's observer as they happen. False when the null
// device cannot be opened.
bool testMembers(SfxApp& app, MemberTestReport& report);
