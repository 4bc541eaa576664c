// The one way through an archive: member headers in turn, each member's packed data passed
// over by one absolute seek from the member's start. The run, the payload check and the zsfx
// read commands all walk with it, so that how the next header is found is decided here
// alone.
#pragma once

#include <cstdint>

#include "core/app.h"
#include "core/lzh_header.h"

enum class WalkEnd {
  endOfArchive,  // the end mark
  endOfFile,     // the file ended where a header would begin: no end mark
  rejected,      // a header was damaged, truncated or of an unknown kind
  stopped,       // the visitor asked to stop
  seekFailed,    // the archive could not be positioned after a member
};

// Moves the archive to the header after the member whose packed data begins at
// memberStart. The run never relies on where the decoder left the file: it may have read
// ahead, or stopped early. The packed size is unsigned: members of 2 GiB and more lie
// ahead, not behind.
bool seekPastMember(SfxApp& app, int64_t memberStart, const LzhHeader& header);

// Called with each member header, the file standing on its packed data; false stops the walk.
class MemberVisitor {
 public:
  virtual bool visit(LzhHeader& header) = 0;

 protected:
  ~MemberVisitor() = default;
};

// Reads each member header from the archive's current position into header and calls
// visitor.visit(header) with the file on the member's packed data. A rejected header is
// shown through the application's observer unless rejections is quiet.
WalkEnd walkMembers(SfxApp& app, LzhHeader& header, MemberVisitor& visitor,
                    HeaderRejections rejections = HeaderRejections::shown);

// walkMembers with a lambda (or any callable) as the visitor. The walk itself is compiled
// once; only the call into the visitor is made per caller.
template <typename Visit>
WalkEnd forEachMember(SfxApp& app, LzhHeader& header, Visit&& visit,
                      HeaderRejections rejections = HeaderRejections::shown) {
  struct Adapter final : MemberVisitor {
    explicit Adapter(Visit& function) : function_(function) {}
    bool visit(LzhHeader& member) override { return function_(member); }
    Visit& function_;
  } adapter(visit);
  return walkMembers(app, header, adapter, rejections);
}
