// The console tool's system calls on POSIX.
#include <unistd.h>

#include <cstring>

#include "tools/zsfx/console.h"
#include "platform/utf8.h"

namespace platform {

std::vector<std::u16string> commandLineArguments(int argc, char** argv) {
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(utf8ToUtf16(argv[i], std::strlen(argv[i])));
  return args;
}

void prepareConsoleOutput() {}

const char16_t* nullDevicePath() { return u"/dev/null"; }

bool stderrIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }

std::FILE* openStdioFile(const char16_t* path, const char* mode) { return std::fopen(utf16ToUtf8(path).c_str(), mode); }

}  // namespace platform
