#include "core/member_walk.h"

#include <cstdint>

#include "platform/platform.h"

bool seekPastMember(SfxApp& app, int64_t memberStart, const LzhHeader& header) {
  // A packed size beyond any file position names no next header.
  if (memberStart < 0 || header.packedSize > static_cast<uint64_t>(INT64_MAX - memberStart)) return false;
  return app.archiveFile->seek(memberStart + static_cast<int64_t>(header.packedSize), platform::SEEK_FROM_BEGIN);
}

uint64_t sumOriginalSizes(SfxApp& app) {
  if (app.archiveFile == nullptr) return 0;
  const int64_t resume = app.archiveFile->tell();
  uint64_t total = 0;
  LzhHeader header;
  forEachMember(
      app, header,
      [&](const LzhHeader& member) {
        total += member.originalSize;
        return true;
      },
      HeaderRejections::quiet);
  app.archiveFile->seek(resume, platform::SEEK_FROM_BEGIN);
  return total;
}
