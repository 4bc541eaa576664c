// list, test, extract and settings: the stub's own reading code on the command line.
#include <csignal>
#include <cstdio>
#include <string>

#include "core/app.h"
#include "core/extract.h"
#include "core/lzh_header.h"
#include "core/output_paths.h"
#include "decode/frame.h"
#include "platform/platform.h"
#include "tools/zsfx/archive_input.h"
#include "tools/zsfx/commands.h"
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

bool openOrReport(const std::u16string& file, SfxApp& app, ArchiveKind& kind) {
  std::string error;
  if (openArchiveInput(file, app, kind, error)) return true;
  printErr("zsfx: " + error + "\n");
  return false;
}

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

// The member walk without extraction: the next header is always at member start + packed
// size, the packed size taken as unsigned.
bool skipPackedData(SfxApp& app, int64_t memberStart, const LzhHeader& header) {
  return app.archiveFile->seek(memberStart + static_cast<int64_t>(header.packedSize), platform::SEEK_FROM_BEGIN);
}

}  // namespace

int runList(const Arguments& args) {
  const ReadOptions options = parseReadOptions(args, true, false);
  if (!options.ok) return EXIT_USAGE;
  TerminalObserver observer(false);
  g_runObserver = &observer;
  SfxApp app;
  ArchiveKind kind;
  if (!openOrReport(options.file, app, kind)) return EXIT_USAGE;

  LzhHeader header;
  bool first = true;
  if (options.json) printOut("[");
  while (readHeader(app, header)) {
    const int64_t start = app.archiveFile->tell();
    const std::string path = toUtf8(header.path.c_str());
    if (options.json) {
      printOut(std::string(first ? "\n" : ",\n") + "  {\"method\": " + jsonString(methodText(header.method)) +
               ", \"original_size\": " + std::to_string(header.originalSize) +
               ", \"packed_size\": " + std::to_string(header.packedSize) + ", \"crc16\": " +
               (header.hasCrc ? std::to_string(header.crc) : "null") + ", \"time\": " +
               jsonString(isoUtcTime(header.time)) + ", \"unix_time\": " + std::to_string(header.time) +
               ", \"level\": " + std::to_string(header.level) + ", \"path\": " + jsonString(path) + "}");
    } else {
      char line[128];
      std::snprintf(line, sizeof line, "%s %10u %10u %s %s ", methodText(header.method).c_str(), header.originalSize,
                    header.packedSize, crcText(header).c_str(), isoUtcTime(header.time).c_str());
      printOut(line + path + "\n");
    }
    first = false;
    if (!skipPackedData(app, start, header)) break;
  }
  if (options.json) printOut(first ? "]\n" : "\n]\n");
  return observer.sawFailure() ? EXIT_MEMBER_FAILED : EXIT_OK;
}

int runTest(const Arguments& args) {
  const ReadOptions options = parseReadOptions(args, false, false);
  if (!options.ok) return EXIT_USAGE;
  TerminalObserver observer(stderrIsTerminal());
  g_runObserver = &observer;
  SfxApp app;
  ArchiveKind kind;
  if (!openOrReport(options.file, app, kind)) return EXIT_USAGE;

  // Decoded bytes go to the null device: the decoder and the CRC run exactly as in a real
  // extraction, nothing is written.
#ifdef _WIN32
  const char16_t* nullDevice = u"NUL";
#else
  const char16_t* nullDevice = u"/dev/null";
#endif
  FileObject sink;
  sink.open(nullDevice, platform::GENERIC_WRITE_ACCESS, 0, platform::DISPOSITION_CREATE_ALWAYS,
            platform::ATTRIBUTE_NORMAL);
  if (!sink.isOpen()) {
    printErr("zsfx: cannot open the null device\n");
    return EXIT_USAGE;
  }

  buildCrcTable();
  g_totalBytes = sumOriginalSizes(app);
  uint32_t tested = 0, skipped = 0, failed = 0;
  LzhHeader header;
  while (readHeader(app, header)) {
    const int64_t start = app.archiveFile->tell();
    observer.memberAnnounced(header.path.c_str());
    const int method = findMethodNumber(header.method);
    if (method < 0) {
      ++skipped;
    } else if (method != METHOD_DIRECTORY) {
      const DecodeResult result =
          decodeMember(app, &sink, header.originalSize, header.packedSize, header.path, method);
      ++tested;
      if (result.status == DecodeStatus::writeFailed) {
        observer.showSystemError(result.systemError, BOX_WARNING);
        ++failed;
      } else if (result.status != DecodeStatus::ok || (header.hasCrc && result.crc != header.crc)) {
        observer.showMessage(corruptedFileText(header.path).c_str(), MessageKind::warning);
        ++failed;
      }
    }
    g_doneBytes += header.originalSize;
    if (!skipPackedData(app, start, header)) break;
  }
  observer.runEnded(false);
  sink.close();
  const bool rejected = observer.sawRejectedHeader();
  printErr(std::to_string(tested) + " members tested, " + std::to_string(failed) + " failed, " +
           std::to_string(skipped) + " skipped (unknown method)" + (rejected ? ", a header was rejected" : "") +
           "\n");
  return (failed > 0 || rejected) ? EXIT_MEMBER_FAILED : EXIT_OK;
}

namespace {

extern "C" void abortRun(int) { g_runFlag.store(0); }

// Makes dir exist and the current directory, as the stub does with its destination.
bool enterDestination(const std::u16string& dir) {
  if (platform::setCurrentDirectory(dir.c_str())) return true;
  std::u16string withSeparator = dir;
  if (!withSeparator.empty() && withSeparator.back() != u'\\' && withSeparator.back() != u'/') withSeparator += u'/';
  return createFolderChain(withSeparator.c_str()) && platform::setCurrentDirectory(dir.c_str());
}

}  // namespace

int runExtract(const Arguments& args) {
  const ReadOptions options = parseReadOptions(args, false, true);
  if (!options.ok) return EXIT_USAGE;
  TerminalObserver observer(stderrIsTerminal());
  g_runObserver = &observer;
  SfxApp app;
  ArchiveKind kind;
  if (!openOrReport(options.file, app, kind)) return EXIT_USAGE;

  if (!options.directory.empty() && !enterDestination(options.directory)) {
    printErr("zsfx: " + toUtf8(options.directory) + ": フォルダを作成できません\n");
    return EXIT_MEMBER_FAILED;
  }
  app.destinationFolder = currentDirectoryPath();

  // Ctrl-C acts like the abort button: the member being written is deleted.
  std::signal(SIGINT, abortRun);
  extractionWorker(&app);
  std::signal(SIGINT, SIG_DFL);
  if (g_runFlag.load() == 0) {
    if (app.currentOutputPath.hasText()) platform::deleteFile(app.currentOutputPath.c_str());
    printErr("zsfx: aborted\n");
    return EXIT_MEMBER_FAILED;
  }
  return (app.errorFlag || observer.sawFailure()) ? EXIT_MEMBER_FAILED : EXIT_OK;
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
  const ReadOptions options = parseReadOptions(args, false, false);
  if (!options.ok) return EXIT_USAGE;
  TerminalObserver observer(false);
  g_runObserver = &observer;
  SfxApp app;
  ArchiveKind kind;
  if (!openOrReport(options.file, app, kind)) return EXIT_USAGE;
  if (kind != ArchiveKind::selfExtracting) {
    printErr("zsfx: " + toUtf8(options.file) + ": a plain LZH archive has no settings block\n");
    return EXIT_USAGE;
  }
  const SfxSettings& s = app.settings;
  printOut("complete: " + std::to_string(s.complete) + "\n");
  printOut("title: " + toUtf8(s.title.c_str()) + "\n");
  printOut("destination: " + toUtf8(s.destination.c_str()) + "\n");
  printOut("shortcut-target: " + toUtf8(s.shortcutTarget.c_str()) + "\n");
  printOut("startmenu: " + optionText(s.startMenuOption) + "\n");
  printOut("desktop: " + optionText(s.desktopOption) + "\n");
  printOut("sendto: " + optionText(s.sendToOption) + "\n");
  printOut("run: " + toUtf8(s.programToRun.c_str()) + "\n");
  printOut("shortcut-name: " + toUtf8(s.shortcutName.c_str()) + "\n");
  return EXIT_OK;
}
