// The console tool's system calls on Windows.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include "tools/zsfx/console.h"

namespace platform {

std::vector<std::u16string> commandLineArguments(int /*argc*/, char** /*argv*/) {
  std::vector<std::u16string> args;
  int count = 0;
  wchar_t** wideArgs = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wideArgs == nullptr) return args;
  for (int i = 1; i < count; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(wideArgs[i]));
  LocalFree(wideArgs);
  return args;
}

void prepareConsoleOutput() {
  SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

const char16_t* nullDevicePath() { return u"NUL"; }

bool stderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

std::FILE* openStdioFile(const char16_t* path, const char* mode) {
  wchar_t wideMode[8] = {};
  for (int i = 0; i < 7 && mode[i] != 0; ++i) wideMode[i] = static_cast<wchar_t>(mode[i]);
  return _wfopen(reinterpret_cast<const wchar_t*>(path), wideMode);
}

}  // namespace platform
