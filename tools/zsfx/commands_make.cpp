// make and pack: writing self-extracting files and plain LZH archives.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/file_object.h"
#include "core/payload_offset.h"
#include "pack/pack.h"
#include "platform/console.h"
#include "platform/platform.h"
#include "tools/zsfx/commands.h"
#include "tools/zsfx/text.h"
#include "tools/zsfx/wrap_check.h"

namespace fs = std::filesystem;

namespace {

// UTF-16 to the system's own path form: UTF-16 on Windows, UTF-8 on POSIX.
fs::path toPath(const std::u16string& text) { return fs::path(text); }

bool readWholeFile(const fs::path& path, std::vector<uint8_t>& bytes, std::string& error) {
  std::FILE* in = platform::openStdioFile(path.u16string().c_str(), "rb");
  if (!in) {
    error = "cannot read " + toUtf8(path.u16string());
    return false;
  }
  uint8_t chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  const bool ok = !std::ferror(in);
  std::fclose(in);
  if (!ok) error = "cannot read " + toUtf8(path.u16string());
  return ok;
}

std::FILE* openForWriting(const fs::path& path) { return platform::openStdioFile(path.u16string().c_str(), "wb"); }

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
    searched += (searched.empty() ? "" : ", ") + toUtf8(candidate.lexically_normal().u16string());
  }
  return {};
}

// The payload is read from the first byte after the stub's PE image, so the stub must end
// exactly there.
bool checkStub(const fs::path& stubPath, uint64_t stubSize, std::string& error) {
  FileObject stub;
  stub.open(stubPath.u16string().c_str(), platform::GENERIC_READ_ACCESS, platform::SHARE_READ,
            platform::DISPOSITION_OPEN_EXISTING, platform::ATTRIBUTE_NORMAL);
  uint64_t imageEnd = 0;
  const bool isImage = stub.isOpen() && findPayloadOffset(stub, &imageEnd);
  stub.close();
  if (!isImage) {
    error = toUtf8(stubPath.u16string()) + " is not a Windows executable";
    return false;
  }
  if (imageEnd != stubSize) {
    error = toUtf8(stubPath.u16string()) + ": its image ends at byte " + std::to_string(imageEnd) +
            " but the file has " + std::to_string(stubSize) + " bytes; use an unsigned, stripped stub";
    return false;
  }
  return true;
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

bool writeAll(std::FILE* out, const std::vector<uint8_t>& bytes) {
  return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

}  // namespace

int runMake(const Arguments& args) {
  fs::path outPath, stubPath, archivePath, fromDir;
  SettingsBlockSpec settings;
  PackOptions packOptions = defaultPackOptions();
  bool force = false;  // wrap even an archive that fails the check
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
      force = true;
      continue;
    }
    if (!hasValue) return usageError(arg.rfind("-", 0) == 0 ? arg + " wants a value" : "unexpected argument " + arg);
    const std::u16string& value = args[++i];
    const std::string valueText = toUtf8(value);
    if (arg == "-o") outPath = toPath(value);
    else if (arg == "--stub") stubPath = toPath(value);
    else if (arg == "--archive") archivePath = toPath(value);
    else if (arg == "--from") fromDir = toPath(value);
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
    } else if (arg == "--method") {
      if (!parseMethod(valueText, packOptions.method)) return usageError("--method wants lh0, lh5, lh6 or lh7");
    } else if (arg == "--level") {
      if (!parseLevel(valueText, packOptions.level)) return usageError("--level wants fast, normal or best");
    } else {
      return usageError("unknown option " + arg);
    }
  }
  if (outPath.empty()) return usageError("make needs -o OUT.exe");
  if (archivePath.empty() == fromDir.empty()) return usageError("make needs exactly one of --archive IN.lzh and --from DIR");
  if (stubPath.empty()) {
    std::string searched;
    stubPath = defaultStubPath(searched);
    if (stubPath.empty()) return usageError("no stub found (looked for " + searched + "); give --stub STUB.exe");
  }

  std::string error;
  std::vector<uint8_t> settingsBytes;
  if (!encodeSettingsBlock(settings, settingsBytes, error)) return usageError(error);
  std::vector<uint8_t> stubBytes;
  if (!readWholeFile(stubPath, stubBytes, error)) return usageError(error);
  if (!checkStub(stubPath, stubBytes.size(), error)) return usageError(error);
  std::vector<uint8_t> archiveBytes;
  if (!archivePath.empty() && !readWholeFile(archivePath, archiveBytes, error)) return usageError(error);
  if (!archivePath.empty()) {
    const int verdict = checkWrappedArchive(archivePath.u16string(), false, force);
    if (verdict != EXIT_OK) return verdict;
  }
  std::error_code ec;
  if (!fromDir.empty() && !fs::is_directory(fromDir, ec)) {
    return usageError(toUtf8(fromDir.u16string()) + " is not a folder");
  }

  std::FILE* out = openForWriting(outPath);
  if (!out) {
    printErr("zsfx: cannot create " + toUtf8(outPath.u16string()) + "\n");
    return EXIT_MEMBER_FAILED;
  }
  bool ok = writeAll(out, stubBytes) && writeAll(out, settingsBytes);
  if (ok && !archivePath.empty()) ok = writeAll(out, archiveBytes);
  if (ok && !fromDir.empty()) {
    ok = packFolder(fromDir, packOptions, out, error);
  } else if (!ok) {
    error = "cannot write " + toUtf8(outPath.u16string());
  }
  ok = (std::fclose(out) == 0) && ok;
  if (!ok) {
    printErr("zsfx: " + (error.empty() ? "cannot write " + toUtf8(outPath.u16string()) : error) + "\n");
    fs::remove(outPath, ec);
    return EXIT_MEMBER_FAILED;
  }
  if (!fromDir.empty()) {
    // What was just packed is checked as the stub will read it, settings block included.
    const int verdict = checkWrappedArchive(outPath.u16string(), true, force);
    if (verdict != EXIT_OK) {
      fs::remove(outPath, ec);
      return verdict;
    }
  }
  return EXIT_OK;
}

int runPack(const Arguments& args) {
  PackOptions options = defaultPackOptions();
  std::vector<std::u16string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string arg = toUtf8(args[i]);
    if ((arg == "--method" || arg == "--level") && i + 1 < args.size()) {
      const std::string value = toUtf8(args[++i]);
      if (arg == "--method" && !parseMethod(value, options.method)) return usageError("--method wants lh0, lh5, lh6 or lh7");
      if (arg == "--level" && !parseLevel(value, options.level)) return usageError("--level wants fast, normal or best");
    } else if (!arg.empty() && arg[0] == '-') {
      return usageError("unknown option " + arg);
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 2) return usageError("pack needs OUT.lzh and DIR");
  const fs::path outPath = toPath(positional[0]);
  const fs::path folder = toPath(positional[1]);
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return usageError(toUtf8(positional[1]) + " is not a folder");
  std::FILE* out = openForWriting(outPath);
  if (!out) {
    printErr("zsfx: cannot create " + toUtf8(positional[0]) + "\n");
    return EXIT_MEMBER_FAILED;
  }
  std::string error;
  bool ok = packFolder(folder, options, out, error);
  ok = (std::fclose(out) == 0) && ok;
  if (!ok) {
    printErr("zsfx: " + (error.empty() ? "cannot write " + toUtf8(positional[0]) : error) + "\n");
    fs::remove(outPath, ec);
    return EXIT_MEMBER_FAILED;
  }
  return EXIT_OK;
}
