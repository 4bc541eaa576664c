#include "tools/zsfx/member_test.h"

#include "core/extract.h"
#include "core/member_walk.h"
#include "core/run_observer.h"
#include "decode/frame.h"
#include "platform/console.h"
#include "platform/platform.h"

bool testMembers(SfxApp& app, MemberTestReport& report) {
  FileObject sink;
  sink.open(platform::nullDevicePath(), platform::GENERIC_WRITE_ACCESS, 0, platform::DISPOSITION_CREATE_ALWAYS,
            platform::ATTRIBUTE_NORMAL);
  if (!sink.isOpen()) return false;

  beginRun(sumOriginalSizes(app));
  LzhHeader header;
  const WalkEnd end = forEachMember(app, header, [&](const LzhHeader& member) {
    ++report.members;
    report.lastMember = member.path.c_str();
    if (g_runObserver != nullptr) g_runObserver->memberAnnounced(member.path.c_str());
    const int method = findMethodNumber(member.method);
    if (findUnixLinkBar(member) >= 0) {
      ++report.skipped;
      ++report.links;
      report.linkPaths.emplace_back(member.path.c_str());
    } else if (method < 0) {
      ++report.skipped;
      if (report.firstSkipped.empty()) report.firstSkipped = member.path.c_str();
    } else if (method != METHOD_DIRECTORY) {
      ++report.tested;
      const DecodeResult result =
          decodeMember(app, &sink, member.originalSize, member.packedSize, member.path, method);
      if (!acceptDecodedMember(app, member, member.path, result)) {
        ++report.failed;
        if (report.firstFailed.empty()) report.firstFailed = member.path.c_str();
      }
    }
    g_doneBytes += member.originalSize;
    return true;
  });
  report.rejected = end != WalkEnd::endOfArchive;
  if (g_runObserver != nullptr) g_runObserver->runEnded(false);
  sink.close();
  return true;
}
