// zsfx: makes self-extracting LZH files and lists, tests and extracts them with the stub's
// own extraction code.
#include <string>

#include "tools/zsfx/console.h"
#include "tools/zsfx/commands.h"
#include "tools/zsfx/text.h"

namespace {

const char kUsage[] =
    "usage: zsfx list FILE [--json] [--codepage N]\n"
    "       zsfx test FILE [--codepage N]\n"
    "       zsfx extract FILE [-C DIR] [--codepage N]\n"
    "       zsfx settings FILE\n"
    "       zsfx make -o OUT.exe [--stub STUB.exe] (--archive IN.lzh | --from DIR)\n"
    "                 [--method lh0|lh5|lh6|lh7] [--level fast|normal|best] [--threads N]\n"
    "                 [--legacy-names 932] [--lang ja|en|auto]\n"
    "                 [--title T] [--dest D] [--program-files] [--shortcut-target P]\n"
    "                 [--startmenu V] [--desktop V] [--sendto V] [--run P] [--shortcut-name N]\n"
    "                 [--no-settings] [--force]   (V: off, on, ask-on, ask-off)\n"
    "       zsfx pack OUT.lzh DIR [--method lh0|lh5|lh6|lh7] [--level fast|normal|best]\n"
    "                 [--threads N] [--legacy-names 932]\n"
    "       zsfx --version\n"
    "--lang: the stub's texts in Japanese (ja, the default), English (en), or auto:\n"
    "        Japanese where the user's Windows display language is Japanese, else English.\n"
    "SOURCE_DATE_EPOCH, when set, is the latest member time written.\n"
    "FILE is a self-extracting file or a plain LZH archive.\n"
    "Exit status: 0 all good, 1 a member failed, 2 bad usage or not an archive.\n";

// The stub is copied into every file made with it, so its terms matter to publishers:
// MIT-0 asks for no notice in copies.
const char kVersion[] =
    "zsfx " ZOLT_VERSION " (Zolt SFX)\n"
    "License: MIT No Attribution (MIT-0). Use, copy, modify and distribute it freely, with no\n"
    "notice required; the self-extracting files it makes carry no obligation either.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

int zsfxMain(const Arguments& all) {
  if (all.empty()) return usageError("no command given");
  const std::string command = toUtf8(all[0]);
  const Arguments args(all.begin() + 1, all.end());
  if (command == "list") return runList(args);
  if (command == "test") return runTest(args);
  if (command == "extract") return runExtract(args);
  if (command == "settings") return runSettings(args);
  if (command == "make") return runMake(args);
  if (command == "pack") return runPack(args);
  if (command == "--version") {
    printOut(kVersion);
    return EXIT_OK;
  }
  if (command == "--help" || command == "-h" || command == "help") {
    printOut(kUsage);
    return EXIT_OK;
  }
  return usageError("unknown command " + command);
}

}  // namespace

int usageError(const std::string& message) {
  printErr("zsfx: " + message + "\n" + kUsage);
  return EXIT_USAGE;
}

int main(int argc, char** argv) {
  platform::prepareConsoleOutput();
  return zsfxMain(platform::commandLineArguments(argc, argv));
}
