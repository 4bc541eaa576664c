#include "tools/zsfx/wrap_check.h"

#include "core/app.h"
#include "pack/quoted_path.h"
#include "tools/zsfx/archive_input.h"
#include "tools/zsfx/commands.h"
#include "tools/zsfx/name_clash.h"
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

// "MZ": a Windows program, most likely a self-extracting file itself.
bool startsWithMz(const std::u16string& path) {
  FileObject file;
  file.open(path.c_str(), platform::GENERIC_READ_ACCESS, platform::SHARE_READ, platform::DISPOSITION_OPEN_EXISTING,
            platform::ATTRIBUTE_NORMAL);
  uint8_t head[2] = {};
  return file.read(2, head) == 2 && head[0] == 'M' && head[1] == 'Z';
}

}  // namespace

int checkWrappedArchive(const std::u16string& path, bool selfExtracting, bool force) {
  if (!selfExtracting && startsWithMz(path)) {
    return refuse(path, "a self-extracting file or another program: wrap its archive, not the file", EXIT_USAGE,
                  force);
  }
  TerminalObserver observer(false);
  SfxApp app(observer);
  ArchiveKind kind = ArchiveKind::plainLzh;
  // The file is opened and surveyed as the stub does; what that refuses it has said.
  if (const int opened = openArchiveInput(path, app, kind); opened != EXIT_OK) {
    if (!force) return opened;
    printErr("zsfx: warning: " + inQuotes(path) + " written anyway (--force)\n");
    return EXIT_OK;
  }

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
  // Names Windows holds as one: the stub would write the later member over the earlier.
  const auto clashes = findNameClashes(app);
  for (const auto& [earlier, later] : clashes) {
    printErr("zsfx: " + inQuotes(earlier) + " and " + inQuotes(later) +
             " are the same file on Windows, where the later one would replace the earlier one\n");
  }
  if (!clashes.empty()) return refuse(path, "members collide on Windows", EXIT_MEMBER_FAILED, force);
  // Unix links are accepted: the stub passes over them, and the user is told which.
  for (const std::u16string& link : report.linkPaths) {
    printErr("zsfx: warning: " + inQuotes(path) + ": link " + inQuotes(link) + " is not extracted (the stub makes no links)\n");
  }
  return EXIT_OK;
}
