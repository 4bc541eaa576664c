// make and pack: writing self-extracting files and plain LZH archives.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/app.h"
#include "core/crc32.h"
#include "core/file_object.h"
#include "core/payload_check.h"
#include "core/payload_offset.h"
#include "pack/file_access.h"
#include "pack/pack.h"
#include "pack/quoted_path.h"
#include "pack/stdio_file.h"
#include "tools/zsfx/console.h"
#include "platform/platform.h"
#include "tools/zsfx/commands.h"
#include "tools/zsfx/stub_language.h"
#include "tools/zsfx/text.h"
#include "tools/zsfx/wrap_check.h"

namespace fs = std::filesystem;

namespace {

// UTF-16 to the system's own path form: UTF-16 on Windows, UTF-8 on POSIX.
fs::path toPath(const std::u16string& text) { return fs::path(text); }

// The stub when --stub is not given: beside this zsfx (the build folder, the Windows zip),
// then ../share/zsfx/ relative to it (an installed zsfx in bin/). Nothing else: an installed
// zsfx must never pick up a stub from some build tree. Empty when neither exists.
fs::path defaultStubPath(std::string& searched) {
  char16_t self[4096] = {};
  if (platform::moduleFileName(self, 4096) == 0) {
    searched = "the folder of zsfx, which the system does not tell";
    return {};
  }
  const fs::path folder = toPath(self).parent_path();
  for (const fs::path& candidate : {folder / "zoltsfx-stub.exe", folder / ".." / "share" / "zsfx" / "zoltsfx-stub.exe"}) {
    std::error_code ec;
    if (fs::is_regular_file(candidate, ec)) return candidate;
    searched += (searched.empty() ? "" : ", ") + describe(candidate.lexically_normal());
  }
  return {};
}

// The payload is read from the first byte after the stub's PE image, so the stub must end
// exactly there. Its language byte must hold what the build leaves there: make writes over
// it, and anything else would be a stub whose header this zsfx does not know. EXIT_OK, or
// the status to end with after the message.
int checkStub(const fs::path& stubPath) {
  FileObject stub;
  stub.open(stubPath.u16string().c_str(), platform::GENERIC_READ_ACCESS, platform::SHARE_READ,
            platform::DISPOSITION_OPEN_EXISTING, platform::ATTRIBUTE_NORMAL);
  if (!stub.isOpen()) {
    printErr("zsfx: cannot read " + describe(stubPath) + "\n");
    return EXIT_MEMBER_FAILED;
  }
  uint64_t imageEnd = 0;
  if (!findPayloadOffset(stub, &imageEnd)) return usageError(describe(stubPath) + " is not a Windows executable");
  std::error_code ec;
  const uintmax_t stubSize = fs::file_size(stubPath, ec);
  if (ec || imageEnd != stubSize) {
    return usageError(describe(stubPath) + ": its image ends at byte " + std::to_string(imageEnd) +
                      " but the file has " + std::to_string(stubSize) + " bytes; use an unsigned, stripped stub");
  }
  uint8_t language = 0;
  if (!readStubLanguage(stub, language)) {
    printErr("zsfx: cannot read " + describe(stubPath) + "\n");
    return EXIT_MEMBER_FAILED;
  }
  if (language != STUB_LANGUAGE_AS_BUILT) {
    return usageError(describe(stubPath) + ": byte " + std::to_string(STUB_LANGUAGE_OFFSET) +
                      ", where make writes the language, holds " + std::to_string(language) +
                      " instead of 0; this stub is not laid out as this zsfx expects");
  }
  return EXIT_OK;
}

bool parseOption(const std::string& value, uint8_t& option) {
  if (value == "off") option = 0;
  else if (value == "on") option = 2;
  else if (value == "ask-on") option = 3;
  else if (value == "ask-off") option = 1;
  else return false;
  return true;
}

bool parseMethod(const std::string& value, PackMethod& method) {
  if (value == "lh0") method = PackMethod::lh0;
  else if (value == "lh5") method = PackMethod::lh5;
  else if (value == "lh6") method = PackMethod::lh6;
  else if (value == "lh7") method = PackMethod::lh7;
  else return false;
  return true;
}

bool parseLevel(const std::string& value, PackLevel& level) {
  if (value == "fast") level = PackLevel::fast;
  else if (value == "normal") level = PackLevel::normal;
  else if (value == "best") level = PackLevel::best;
  else return false;
  return true;
}

// The method and level of archives zsfx writes itself: -lh7- (the largest window) at the
// normal level.
PackOptions defaultPackOptions() {
  PackOptions options;
  options.method = PackMethod::lh7;
  options.level = PackLevel::normal;
  return options;
}

// The options of make and pack that choose how members are packed. Returns true when arg
// is one of them; a bad value leaves a message in error.
bool parsePackingOption(const std::string& arg, const std::string& value, PackOptions& options, std::string& error) {
  if (arg == "--method") {
    if (!parseMethod(value, options.method)) error = "--method wants lh0, lh5, lh6 or lh7";
  } else if (arg == "--level") {
    if (!parseLevel(value, options.level)) error = "--level wants fast, normal or best";
  } else if (arg == "--threads") {
    // Any count gives the same bytes; more than 256 would only cost memory.
    const bool digits = !value.empty() && value.size() <= 3 && value.find_first_not_of("0123456789") == std::string::npos;
    const int count = digits ? std::stoi(value) : 0;
    if (count < 1 || count > 256) error = "--threads wants a number from 1 to 256";
    else options.threads = static_cast<unsigned>(count);
  } else if (arg == "--legacy-names") {
    if (value == "932") options.nameCodePage = 932;
    else error = "--legacy-names wants 932 (Shift_JIS)";
  } else {
    return false;
  }
  return true;
}

// SOURCE_DATE_EPOCH, the reproducible-builds convention: no member time later than it.
bool readSourceDateEpoch(PackOptions& options, std::string& error) {
  const char* text = std::getenv("SOURCE_DATE_EPOCH");
  if (!text || !*text) return true;
  int64_t seconds = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9' || seconds > (INT64_MAX - 9) / 10) {
      error = std::string("SOURCE_DATE_EPOCH must be a whole number of seconds, not \"") + text + "\"";
      return false;
    }
    seconds = seconds * 10 + (*p - '0');
  }
  options.latestTime = seconds;
  return true;
}

// Lists what folder will give, before the output is created, and warns about everything
// left out. EXIT_OK or the exit status to end with.
int planPacking(const fs::path& folder, const PackOptions& options, FolderPlan& plan) {
  std::string error;
  const PlanStatus status = planFolder(folder, options, plan, error);
  for (const std::string& line : plan.skipped) printErr("zsfx: warning: " + line + "\n");
  if (status == PlanStatus::ok) return EXIT_OK;
  printErr("zsfx: " + error + "\n");
  return status == PlanStatus::unencodableName ? EXIT_USAGE : EXIT_MEMBER_FAILED;
}

// The one way make and pack write their output: path created, filled by write, closed; on
// any failure the message is printed and nothing is left under path.
using OutputWriter = std::function<bool(std::FILE* out, std::string& error)>;
bool writeOutputFile(const fs::path& path, const OutputWriter& write) {
  // Read back too: a self-extracting file's checksum is taken from what is on the disk.
  StdioFile out(platform::openStdioFile(path.u16string().c_str(), "w+b"));
  if (!out) {
    printErr("zsfx: cannot create " + describe(path) + "\n");
    return false;
  }
  std::string error;
  bool ok = write(out.get(), error);
  ok = out.close() && ok;
  if (ok) return true;
  printErr("zsfx: " + (error.empty() ? "cannot write " + describe(path) : error) + "\n");
  std::error_code ec;
  fs::remove(path, ec);
  return false;
}

// Copies the first `bytes` bytes of the file at path (all of them when bytes is UINT64_MAX)
// to out, a chunk at a time.
bool copyFileTo(const fs::path& path, std::FILE* out, std::string& error, uint64_t bytes = UINT64_MAX) {
  const StdioFile in(platform::openStdioFile(path.u16string().c_str(), "rb"));
  if (!in) {
    error = "cannot read " + describe(path);
    return false;
  }
  const bool whole = bytes == UINT64_MAX;
  std::vector<uint8_t> chunk(1u << 20);
  size_t got;
  while (bytes > 0 && (got = std::fread(chunk.data(), 1, std::min<uint64_t>(chunk.size(), bytes), in.get())) > 0) {
    if (std::fwrite(chunk.data(), 1, got, out) != got) return false;  // the caller names the output
    bytes -= got;
  }
  if (std::ferror(in.get()) || (!whole && bytes != 0)) {
    error = "cannot read " + describe(path);
    return false;
  }
  return true;
}

// The trailer behind the archive's end mark: its mark and the CRC-32 of everything from
// payloadStart (the settings block) on, read back from out.
bool appendTrailer(std::FILE* out, uint64_t payloadStart, std::string& error) {
  uint32_t crc = 0;
  std::vector<uint8_t> chunk(1u << 20);
  if (std::fflush(out) != 0 || !seekOutput(out, payloadStart)) return false;
  size_t got;
  while ((got = std::fread(chunk.data(), 1, chunk.size(), out)) > 0) crc = crc32Update(crc, chunk.data(), got);
  if (std::ferror(out) || std::fseek(out, 0, SEEK_END) != 0) {
    error = "cannot read back what was written";
    return false;
  }
  uint8_t trailer[PAYLOAD_TRAILER_SIZE];
  std::memcpy(trailer, PAYLOAD_TRAILER_MARK, sizeof PAYLOAD_TRAILER_MARK);
  for (int i = 0; i < 4; ++i) trailer[sizeof PAYLOAD_TRAILER_MARK + i] = static_cast<uint8_t>(crc >> (8 * i));
  return std::fwrite(trailer, 1, sizeof trailer, out) == sizeof trailer;
}

// What `zsfx make` was asked to do.
struct MakeRequest {
  fs::path out, stub, archive, from;
  SettingsBlockSpec settings;
  PackOptions packing = defaultPackOptions();
  bool force = false;  // wrap even an archive that fails the check
  uint8_t language = STUB_LANGUAGE_AS_BUILT;  // --lang, written into the copy of the stub
  // Of --archive: the bytes up to its end mark, and whether it ends without one (LArc's
  // archives do), so that make adds it.
  uint64_t archiveBytes = UINT64_MAX;
  bool addEndMark = false;
};

// Where the archive given to make ends: at its end mark, or at the end of the file when it
// has none. Whatever follows an end mark is left out, so that the trailer comes right behind
// it. What is no sound archive (written with --force) is copied as it is.
void measureArchive(MakeRequest& request) {
  SfxApp app;
  app.archiveFile = std::make_unique<FileObject>();
  app.archiveFile->open(request.archive.u16string().c_str(), platform::GENERIC_READ_ACCESS, platform::SHARE_READ,
                        platform::DISPOSITION_OPEN_EXISTING, platform::ATTRIBUTE_NORMAL);
  uint8_t head[2] = {};
  if (app.archiveFile->read(2, head) == 2 && head[0] == 'M' && head[1] == 'Z') return;
  PayloadSurvey survey;
  surveyPayload(app, survey);
  if (survey.problem == PayloadProblem::none) request.archiveBytes = static_cast<uint64_t>(survey.endMark) + 1;
  request.addEndMark = survey.problem == PayloadProblem::noEndMark;
}

// EXIT_OK, or the status to end with after the message.
int parseMakeArguments(const Arguments& args, MakeRequest& request) {
  SettingsBlockSpec& settings = request.settings;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string arg = toUtf8(args[i]);
    const bool hasValue = i + 1 < args.size();
    if (arg == "--no-settings") {
      settings.present = false;
      continue;
    }
    if (arg == "--program-files") {
      settings.programFilesBase = true;
      continue;
    }
    if (arg == "--force") {
      request.force = true;
      continue;
    }
    if (!hasValue) return usageError(arg.rfind("-", 0) == 0 ? arg + " wants a value" : "unexpected argument " + arg);
    const std::u16string& value = args[++i];
    const std::string valueText = toUtf8(value);
    if (arg == "-o") request.out = toPath(value);
    else if (arg == "--stub") request.stub = toPath(value);
    else if (arg == "--archive") request.archive = toPath(value);
    else if (arg == "--from") request.from = toPath(value);
    else if (arg == "--title") settings.title = value;
    else if (arg == "--dest") settings.destination = value;
    else if (arg == "--shortcut-target") settings.shortcutTarget = value;
    else if (arg == "--run") settings.programToRun = value;
    else if (arg == "--shortcut-name") settings.shortcutName = value;
    else if (arg == "--startmenu" || arg == "--desktop" || arg == "--sendto") {
      uint8_t& option = arg == "--startmenu" ? settings.startMenuOption
                        : arg == "--desktop" ? settings.desktopOption
                                             : settings.sendToOption;
      if (!parseOption(valueText, option)) return usageError(arg + " wants off, on, ask-on or ask-off");
    } else if (arg == "--lang") {
      if (!parseStubLanguage(valueText, request.language)) return usageError("--lang wants ja, en or auto");
    } else if (std::string optionError; parsePackingOption(arg, valueText, request.packing, optionError)) {
      if (!optionError.empty()) return usageError(optionError);
    } else {
      return usageError("unknown option " + arg);
    }
  }
  if (request.out.empty()) return usageError("make needs -o OUT.exe");
  if (request.archive.empty() == request.from.empty()) {
    return usageError("make needs exactly one of --archive IN.lzh and --from DIR");
  }
  std::string error;
  if (!readSourceDateEpoch(request.packing, error)) return usageError(error);
  return EXIT_OK;
}

// Everything make can check before it creates the output: the stub, the archive it wraps or
// the folder it packs (plan). EXIT_OK, or the status to end with after the message.
int checkMakeInputs(MakeRequest& request, FolderPlan& plan) {
  if (request.stub.empty()) {
    std::string searched;
    request.stub = defaultStubPath(searched);
    if (request.stub.empty()) return usageError("no stub found (looked for " + searched + "); give --stub STUB.exe");
  }
  if (const int status = checkStub(request.stub); status != EXIT_OK) return status;
  if (!request.archive.empty()) {
    FileObject archive;
    archive.open(request.archive.u16string().c_str(), platform::GENERIC_READ_ACCESS, platform::SHARE_READ,
                 platform::DISPOSITION_OPEN_EXISTING, platform::ATTRIBUTE_NORMAL);
    if (!archive.isOpen()) {
      printErr("zsfx: cannot read " + describe(request.archive) + "\n");
      return EXIT_MEMBER_FAILED;
    }
    const int verdict = checkWrappedArchive(request.archive.u16string(), false, request.force);
    if (verdict == EXIT_OK) measureArchive(request);
    return verdict;
  }
  std::error_code ec;
  if (!fs::is_directory(request.from, ec)) return usageError(describe(request.from) + " is not a folder");
  return planPacking(request.from, request.packing, plan);
}

}  // namespace

int runMake(const Arguments& args) {
  MakeRequest request;
  if (const int status = parseMakeArguments(args, request); status != EXIT_OK) return status;
  std::vector<uint8_t> settingsBytes;
  if (std::string error; !encodeSettingsBlock(request.settings, settingsBytes, error)) return usageError(error);
  FolderPlan plan;
  if (const int status = checkMakeInputs(request, plan); status != EXIT_OK) return status;

  // The stub and the archive are copied as they are read, never held whole; the copy of the
  // stub gets its language byte, the archive always ends with its end mark, and the trailer
  // follows it.
  const bool written = writeOutputFile(request.out, [&](std::FILE* out, std::string& error) {
    if (!copyFileTo(request.stub, out, error)) return false;
    uint64_t payloadStart = 0;
    if (!tellOutput(out, payloadStart)) return false;
    if (!seekOutput(out, STUB_LANGUAGE_OFFSET) || std::fputc(request.language, out) == EOF ||
        !seekOutput(out, payloadStart)) {
      return false;
    }
    if (std::fwrite(settingsBytes.data(), 1, settingsBytes.size(), out) != settingsBytes.size()) return false;
    if (!request.archive.empty()) {
      if (!copyFileTo(request.archive, out, error, request.archiveBytes)) return false;
      if (request.addEndMark && std::fputc(0, out) == EOF) return false;
    } else if (!writeFolderArchive(plan, request.packing, out, error)) {
      return false;
    }
    return appendTrailer(out, payloadStart, error);
  });
  if (!written) return EXIT_MEMBER_FAILED;
  if (!request.from.empty()) {
    // What was just packed is checked as the stub will read it, settings block included.
    const int verdict = checkWrappedArchive(request.out.u16string(), true, request.force);
    if (verdict != EXIT_OK) {
      std::error_code ec;
      fs::remove(request.out, ec);
      return verdict;
    }
  }
  return plan.skipped.empty() ? EXIT_OK : EXIT_MEMBER_FAILED;
}

int runPack(const Arguments& args) {
  PackOptions options = defaultPackOptions();
  std::vector<std::u16string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string arg = toUtf8(args[i]);
    std::string optionError;
    if (i + 1 < args.size() && parsePackingOption(arg, toUtf8(args[i + 1]), options, optionError)) {
      if (!optionError.empty()) return usageError(optionError);
      ++i;
    } else if (!arg.empty() && arg[0] == '-') {
      return usageError("unknown option " + arg);
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 2) return usageError("pack needs OUT.lzh and DIR");
  std::string error;
  if (!readSourceDateEpoch(options, error)) return usageError(error);
  const fs::path outPath = toPath(positional[0]);
  const fs::path folder = toPath(positional[1]);
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return usageError(describe(folder) + " is not a folder");
  FolderPlan plan;
  if (const int status = planPacking(folder, options, plan); status != EXIT_OK) return status;
  const bool written = writeOutputFile(outPath, [&](std::FILE* out, std::string& writeError) {
    return writeFolderArchive(plan, options, out, writeError);
  });
  if (!written) return EXIT_MEMBER_FAILED;
  return plan.skipped.empty() ? EXIT_OK : EXIT_MEMBER_FAILED;
}
