#include "core/member_walk.h"

#include <cstdint>

#include "platform/platform.h"

bool seekPastMember(SfxApp& app, int64_t memberStart, const LzhHeader& header) {
  // A packed size beyond any file position names no next header.
  if (memberStart < 0 || header.packedSize > static_cast<uint64_t>(INT64_MAX - memberStart)) return false;
  return app.archiveFile->seek(memberStart + static_cast<int64_t>(header.packedSize), platform::SEEK_FROM_BEGIN);
}

WalkEnd walkMembers(SfxApp& app, LzhHeader& header, MemberVisitor& visitor, HeaderRejections rejections) {
  for (;;) {
    switch (readHeader(app, header, rejections)) {
      case HeaderStatus::member: break;
      case HeaderStatus::endOfArchive: return WalkEnd::endOfArchive;
      case HeaderStatus::endOfFile: return WalkEnd::endOfFile;
      case HeaderStatus::rejected:
      case HeaderStatus::needMore: return WalkEnd::rejected;
    }
    const int64_t memberStart = app.archiveFile->tell();
    if (!visitor.visit(header)) return WalkEnd::stopped;
    if (!seekPastMember(app, memberStart, header)) return WalkEnd::seekFailed;
  }
}
