// The one way through an archive: member headers in turn, each member's packed data passed
// over by one absolute seek from the member's start. The run, the pre-scan and the zsfx
// read commands all walk with it, so that how the next header is found is decided here
// alone.
#pragma once

#include <cstdint>

#include "core/app.h"
#include "core/lzh_header.h"

enum class WalkEnd {
  endOfArchive,  // the end mark, or the file ended where a header would begin
  rejected,      // a header was damaged, truncated or of an unknown kind
  stopped,       // the visitor asked to stop
  seekFailed,    // the archive could not be positioned after a member
};

// Moves the archive to the header after the member whose packed data begins at
// memberStart. The run never relies on where the decoder left the file: it may have read
// ahead, or stopped early. The packed size is unsigned: members of 2 GiB and more lie
// ahead, not behind.
bool seekPastMember(SfxApp& app, int64_t memberStart, const LzhHeader& header);

// Reads each member header from the archive's current position into header and calls
// visit(header) with the file on the member's packed data; visit returns false to stop.
// A rejected header is shown through the application's observer unless rejections is quiet.
template <typename Visit>
WalkEnd forEachMember(SfxApp& app, LzhHeader& header, Visit&& visit,
                      HeaderRejections rejections = HeaderRejections::shown) {
  for (;;) {
    switch (readHeader(app, header, rejections)) {
      case HeaderStatus::member: break;
      case HeaderStatus::endOfArchive: return WalkEnd::endOfArchive;
      case HeaderStatus::rejected:
      case HeaderStatus::needMore: return WalkEnd::rejected;
    }
    const int64_t memberStart = app.archiveFile->tell();
    if (!visit(header)) return WalkEnd::stopped;
    if (!seekPastMember(app, memberStart, header)) return WalkEnd::seekFailed;
  }
}

// Sum of the original sizes of all members from the current position on, for the progress
// bar; the file position is restored. It walks as the run will, so it counts
// exactly the members the run reaches; a rejected header ends the count without a word (the
// run reports it when it gets there).
uint64_t sumOriginalSizes(SfxApp& app);
