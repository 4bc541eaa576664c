#include "tools/zsfx/wrap_check.h"

#include "core/app.h"
#include "pack/quoted_path.h"
#include "tools/zsfx/archive_input.h"
#include "tools/zsfx/commands.h"
#include "tools/zsfx/archive_check.h"
#include "tools/zsfx/terminal_observer.h"
#include "tools/zsfx/text.h"

namespace {

int refuse(const std::u16string& path, const std::string& reason, int status, bool force) {
  if (force) {
    printErr("zsfx: warning: " + inQuotes(path) + ": " + reason + "; written anyway (--force)\n");
    return EXIT_OK;
  }
  printErr("zsfx: " + inQuotes(path) + ": " + reason + "; nothing written (--force writes it anyway)\n");
  return status;
}

}  // namespace

int checkWrappedArchive(const std::u16string& path, bool selfExtracting, bool force) {
  TerminalObserver observer(false);
  SfxApp app(observer);
  ArchiveKind kind = ArchiveKind::plainLzh;
  std::string error;
  const bool opened = openArchiveInput(path, app, kind, error);
  if (!selfExtracting && kind == ArchiveKind::selfExtracting) {
    return refuse(path, "a self-extracting file or another program: wrap its archive, not the file", EXIT_USAGE,
                  force);
  }
  if (!opened) return refuse(path, error, EXIT_USAGE, force);

  MemberTestReport report;
  if (!testMembers(app, report)) return refuse(path, "cannot open the null device to test it", EXIT_USAGE, force);
  if (report.failed > 0) {
    return refuse(path, "member " + inQuotes(report.firstFailed) + " fails its test", EXIT_MEMBER_FAILED, force);
  }
  if (report.rejected) {
    const std::string where =
        report.members == 0 ? "the first member header" : "the header after member " + inQuotes(report.lastMember);
    return refuse(path, where + " is damaged", EXIT_MEMBER_FAILED, force);
  }
  if (report.skipped > report.links) {
    return refuse(path,
                  "member " + inQuotes(report.firstSkipped) + " has a method the stub does not know and would skip",
                  EXIT_MEMBER_FAILED, force);
  }
  if (report.members == 0) return refuse(path, "the archive holds no member", EXIT_USAGE, force);
  // Unix links are accepted: the stub passes over them, and the user is told which.
  for (const std::u16string& link : report.linkPaths) {
    printErr("zsfx: warning: " + inQuotes(path) + ": link " + inQuotes(link) + " is not extracted (the stub makes no links)\n");
  }
  return EXIT_OK;
}
