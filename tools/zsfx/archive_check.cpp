#include "tools/zsfx/archive_check.h"

#include "core/extract.h"
#include "core/member_decoder.h"
#include "core/member_kind.h"
#include "core/member_walk.h"
#include "tools/zsfx/console.h"
#include "platform/platform.h"

bool testMembers(SfxApp& app, MemberTestReport& report) {
  FileObject sink;
  sink.open(platform::nullDevicePath(), platform::GENERIC_WRITE_ACCESS, 0, platform::DISPOSITION_CREATE_ALWAYS,
            platform::ATTRIBUTE_NORMAL);
  if (!sink.isOpen()) return false;

  app.run.begin(app.payload.totalBytes);
  LzhHeader header;
  const WalkEnd end = forEachMember(app, header, [&](const LzhHeader& member) {
    ++report.members;
    report.lastMember = member.path.c_str();
    app.observer().memberAnnounced(member.path.c_str());
    const MemberClass kind = classifyMember(member);
    switch (kind.kind) {
      case MemberKind::link:
        ++report.skipped;
        ++report.links;
        report.linkPaths.emplace_back(member.path.c_str());
        break;
      case MemberKind::unknownMethod:
        ++report.skipped;
        if (report.firstSkipped.empty()) report.firstSkipped = member.path.c_str();
        break;
      case MemberKind::folder:
        break;
      case MemberKind::file: {
        ++report.tested;
        const DecodeResult result =
            decodeMember(app.run, *app.archiveFile, sink, member.originalSize, member.packedSize, kind.method);
        if (!acceptDecodedMember(app, member, member.path, result)) {
          ++report.failed;
          if (report.firstFailed.empty()) report.firstFailed = member.path.c_str();
        }
        break;
      }
    }
    app.run.memberDone(member.originalSize);
    return true;
  });
  report.rejected = end != WalkEnd::endOfArchive && end != WalkEnd::endOfFile;
  app.observer().runEnded(false);
  return true;
}
