// list, test, extract and settings: the stub's own reading code on the command line.
#include <csignal>
#include <cstdio>
#include <string>

#include "core/app.h"
#include "core/extract.h"
#include "core/lzh_header.h"
#include "core/member_walk.h"
#include "core/output_paths.h"
#include "core/member_kind.h"
#include "tools/zsfx/console.h"
#include "platform/platform.h"
#include "core/free_space.h"
#include "pack/quoted_path.h"
#include "tools/zsfx/archive_input.h"
#include "tools/zsfx/name_clash.h"
#include "tools/zsfx/commands.h"
#include "tools/zsfx/archive_check.h"
#include "tools/zsfx/stub_language.h"
#include "tools/zsfx/terminal_observer.h"
#include "tools/zsfx/text.h"

namespace {

// Options shared by the reading commands: FILE, --codepage N, --json, -C DIR.
struct ReadOptions {
  std::u16string file;
  std::u16string directory;
  bool json = false;
  bool ok = false;
};

ReadOptions parseReadOptions(const Arguments& args, bool allowJson, bool allowDirectory) {
  ReadOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string arg = toUtf8(args[i]);
    if (arg == "--codepage" && i + 1 < args.size()) {
      const std::string value = toUtf8(args[++i]);
      char* end = nullptr;
      const unsigned long codePage = std::strtoul(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || codePage > 65535) {
        usageError("--codepage wants a code page number, not '" + value + "'");
        return options;
      }
      platform::setAnsiCodePage(static_cast<uint32_t>(codePage));
    } else if (allowJson && arg == "--json") {
      options.json = true;
    } else if (allowDirectory && arg == "-C" && i + 1 < args.size()) {
      options.directory = args[++i];
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      usageError("unknown option " + arg);
      return options;
    } else if (options.file.empty()) {
      options.file = args[i];
    } else {
      usageError("unexpected argument " + arg);
      return options;
    }
  }
  if (options.file.empty()) {
    usageError("no FILE given");
    return options;
  }
  options.ok = true;
  return options;
}

// What every reading command starts with: its options parsed, the terminal observer
// registered for the command's lifetime, and FILE opened on its first member header.
struct ReadCommand {
  explicit ReadCommand(bool showProgress) : observer(showProgress), app(observer) {}

  // EXIT_OK, or the exit status after telling the user why the command cannot start.
  int start(const Arguments& args, bool allowJson, bool allowDirectory) {
    options = parseReadOptions(args, allowJson, allowDirectory);
    if (!options.ok) return EXIT_USAGE;
    return openArchiveInput(options.file, app, kind);
  }

  ReadOptions options;
  TerminalObserver observer;
  SfxApp app;
  ArchiveKind kind = ArchiveKind::plainLzh;
};

std::string methodText(const uint8_t method[5]) {
  std::string text;
  for (int i = 0; i < 5; ++i) {
    text += (method[i] >= 0x20 && method[i] < 0x7F) ? static_cast<char>(method[i]) : '?';
  }
  return text;
}

std::string crcText(const LzhHeader& header) {
  if (!header.hasCrc) return "----";
  char text[8];
  std::snprintf(text, sizeof text, "%04x", header.crc);
  return text;
}

std::string countText(uint32_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// A Unix link entry's stored path "name|target" split in two; false for any other member.
bool splitLink(const LzhHeader& member, std::string& name, std::string& target) {
  if (classifyMember(member).kind != MemberKind::link) return false;
  const int32_t bar = findUnixLinkBar(member);
  const std::u16string stored = member.path.c_str();
  name = toUtf8(stored.substr(0, static_cast<size_t>(bar)));
  target = toUtf8(stored.substr(static_cast<size_t>(bar) + 1));
  return true;
}

// Whether the file holds a byte before position end: list reads no packed data, so a cut
// archive would otherwise list as whole.
bool fileReaches(FileObject& file, int64_t end) {
  uint8_t last = 0;
  return end <= 0 || (file.seek(end - 1, platform::SEEK_FROM_BEGIN) && file.read(1, &last) == 1);
}

}  // namespace

int runList(const Arguments& args) {
  ReadCommand command(false);
  if (const int status = command.start(args, true, false); status != EXIT_OK) return status;
  const bool json = command.options.json;

  LzhHeader header;
  bool first = true;
  int64_t lastMemberEnd = 0;  // where the packed data of the last member listed ends
  std::string lastPath;
  if (json) printOut("[");
  FileObject& archive = *command.app.archiveFile;
  forEachMember(command.app, header, [&](const LzhHeader& member) {
    const std::string path = toUtf8(member.path.c_str());
    std::string linkName, linkTarget;
    const bool link = splitLink(member, linkName, linkTarget);
    lastMemberEnd = archive.tell() + static_cast<int64_t>(member.packedSize);
    lastPath = path;
    if (json) {
      printOut(std::string(first ? "\n" : ",\n") + "  {\"method\": " + jsonString(methodText(member.method)) +
               ", \"original_size\": " + std::to_string(member.originalSize) +
               ", \"packed_size\": " + std::to_string(member.packedSize) + ", \"crc16\": " +
               (member.hasCrc ? std::to_string(member.crc) : "null") + ", \"time\": " +
               jsonString(isoUtcTime(member.time)) + ", \"unix_time\": " + std::to_string(member.time) +
               ", \"level\": " + std::to_string(member.level) + ", \"path\": " + jsonString(link ? linkName : path) +
               (link ? ", \"link_target\": " + jsonString(linkTarget) : std::string()) + "}");
    } else {
      char line[128];
      std::snprintf(line, sizeof line, "%s %10llu %10llu %s %s ", methodText(member.method).c_str(),
                    static_cast<unsigned long long>(member.originalSize),
                    static_cast<unsigned long long>(member.packedSize), crcText(member).c_str(),
                    isoUtcTime(member.time).c_str());
      printOut(line + (link ? linkName + " -> " + linkTarget : path) + "\n");
    }
    first = false;
    return true;
  });
  if (json) printOut(first ? "]\n" : "\n]\n");
  if (!fileReaches(archive, lastMemberEnd)) {
    printErr("zsfx: the archive ends inside the packed data of " + lastPath + "\n");
    return EXIT_MEMBER_FAILED;
  }
  return command.observer.sawFailure() ? EXIT_MEMBER_FAILED : EXIT_OK;
}

int runTest(const Arguments& args) {
  ReadCommand command(platform::stderrIsTerminal());
  if (const int status = command.start(args, false, false); status != EXIT_OK) return status;
  for (const auto& [earlier, later] : findNameClashes(command.app)) {
    printErr("zsfx: warning: " + inQuotes(earlier) + " and " + inQuotes(later) +
             " are the same file on Windows; the later one replaces the earlier one\n");
  }
  MemberTestReport report;
  if (!testMembers(command.app, report)) {
    printErr("zsfx: cannot open the null device\n");
    return EXIT_USAGE;
  }
  const uint32_t unknown = report.skipped - report.links;
  printErr(std::to_string(report.tested) + " members tested, " + std::to_string(report.failed) + " failed, " +
           std::to_string(report.skipped) + " skipped (" + countText(report.links, "link", "links") + ", " +
           countText(unknown, "unknown method", "unknown methods") + ")" +
           (report.rejected ? ", a header was rejected" : "") + "\n");
  return report.passed() ? EXIT_OK : EXIT_MEMBER_FAILED;
}

namespace {

// The run that a signal stops, as the abort button stops the stub's. A signal handler can
// reach nothing else; the run's abort() is a lock-free atomic store.
ExtractionRun* g_signalledRun = nullptr;
extern "C" void abortRun(int) {
  if (g_signalledRun != nullptr) g_signalledRun->abort();
}

// Makes dir exist and the current directory, as the stub does with its destination.
bool enterDestination(const std::u16string& dir) {
  if (platform::setCurrentDirectory(dir.c_str())) return true;
  std::u16string withSeparator = dir;
  if (!withSeparator.empty() && withSeparator.back() != u'\\' && withSeparator.back() != u'/') withSeparator += u'/';
  return createFolderChain(withSeparator.c_str()) && platform::setCurrentDirectory(dir.c_str());
}

}  // namespace

int runExtract(const Arguments& args) {
  ReadCommand command(platform::stderrIsTerminal());
  if (const int status = command.start(args, false, true); status != EXIT_OK) return status;
  const ReadOptions& options = command.options;
  SfxApp& app = command.app;

  // A case-sensitive system holds both names; Windows, where the stub runs, would not.
  for (const auto& [earlier, later] : findNameClashes(app)) {
    printErr("zsfx: warning: " + inQuotes(earlier) + " and " + inQuotes(later) +
             " are both written here, but on Windows the later one replaces the earlier one\n");
  }
  // Room for the run, as the stub checks it, before anything is created.
  const WideString destination(options.directory.empty() ? u"." : options.directory.c_str());
  const SpaceNeed need = measureSpaceNeed(app, app.payload, destination);
  if (!need.enough()) {
    printErr("zsfx: " + inQuotes(destination.c_str()) + ": not enough free space: " +
             std::to_string((need.needed + 999999) / 1000000) + " MB needed, " +
             std::to_string(need.available / 1000000) + " MB free\n");
    return EXIT_MEMBER_FAILED;
  }
  if (!options.directory.empty() && !enterDestination(options.directory)) {
    printErr("zsfx: " + toUtf8(options.directory) + ": フォルダを作成できません\n");
    return EXIT_MEMBER_FAILED;
  }
  app.destinationFolder = currentDirectoryPath();

  // Ctrl-C, a kill and a closed terminal act like the abort button: the member being
  // written goes with its temporary file, and its target keeps what it held.
  g_signalledRun = &app.run;
#ifdef SIGHUP
  constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
#else
  constexpr int kStopSignals[] = {SIGINT, SIGTERM};
#endif
  for (const int stop : kStopSignals) std::signal(stop, abortRun);
  extractionWorker(&app);
  for (const int stop : kStopSignals) std::signal(stop, SIG_DFL);
  g_signalledRun = nullptr;
  if (app.run.aborted()) {
    printErr("zsfx: aborted\n");
    return EXIT_MEMBER_FAILED;
  }
  return (app.errorFlag || command.observer.sawFailure()) ? EXIT_MEMBER_FAILED : EXIT_OK;
}

namespace {

std::string optionText(uint8_t option) {
  char text[64];
  std::snprintf(text, sizeof text, "%u (%s, %s)", option, (option & OPTION_ON) ? "on" : "off",
                (option & OPTION_CHANGEABLE) ? "user may change" : "fixed");
  return text;
}

}  // namespace

int runSettings(const Arguments& args) {
  ReadCommand command(false);
  if (const int status = command.start(args, false, false); status != EXIT_OK) return status;
  if (command.kind != ArchiveKind::selfExtracting) {
    printErr("zsfx: " + toUtf8(command.options.file) + ": a plain LZH archive has no settings block\n");
    return EXIT_USAGE;
  }
  const SfxSettings& s = command.app.settings;
  printOut("complete: " + std::to_string(s.complete) + "\n");
  printOut("title: " + toUtf8(s.title.c_str()) + "\n");
  printOut("destination: " + toUtf8(s.destination.c_str()) + "\n");
  printOut("shortcut-target: " + toUtf8(s.shortcutTarget.c_str()) + "\n");
  printOut("startmenu: " + optionText(s.startMenuOption) + "\n");
  printOut("desktop: " + optionText(s.desktopOption) + "\n");
  printOut("sendto: " + optionText(s.sendToOption) + "\n");
  printOut("run: " + toUtf8(s.programToRun.c_str()) + "\n");
  printOut("shortcut-name: " + toUtf8(s.shortcutName.c_str()) + "\n");
  // The language is no setting but a byte of the stub's DOS header, which make sets.
  uint8_t language = 0;
  if (!readStubLanguage(*command.app.archiveFile, language)) {
    printErr("zsfx: " + toUtf8(command.options.file) + ": cannot read the stub's language byte\n");
    return EXIT_MEMBER_FAILED;
  }
  printOut("language: " + stubLanguageName(language) + "\n");
  return EXIT_OK;
}
