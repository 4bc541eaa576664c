#include "ui/user_output.h"

#include <cstdlib>
#include <cstring>

#include "core/file_object.h"
#include "core/stub_switches.h"
#include "platform/win32_text.h"

namespace {

// Null where there is no console or no log (constant initial values: no start-up code).
struct UserOutput {
  bool silent = false;
  HANDLE console = nullptr;
  HANDLE log = nullptr;
};

HANDLE validOrNull(HANDLE handle) { return handle == INVALID_HANDLE_VALUE ? nullptr : handle; }
UserOutput g_output;

// One line of the log, written whole: the tag, the text in UTF-8 with its line breaks made
// spaces (one message, one line), CR LF.
void writeLogLine(const char* tag, const wchar_t* text) {
  if (!g_output.log) return;
  const int textBytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (textBytes <= 0) return;
  const size_t tagBytes = std::strlen(tag);
  char* line = static_cast<char*>(std::malloc(tagBytes + textBytes + 2));
  if (!line) return;
  std::memcpy(line, tag, tagBytes);
  char* end = line + tagBytes;
  WideCharToMultiByte(CP_UTF8, 0, text, -1, end, textBytes, nullptr, nullptr);
  for (char* p = end; *p; ++p) {
    if (*p == '\r' || *p == '\n') *p = ' ';
  }
  end += textBytes - 1;
  *end++ = '\r';
  *end++ = '\n';
  DWORD written = 0;
  WriteFile(g_output.log, line, static_cast<DWORD>(end - line), &written, nullptr);
  std::free(line);
}

void writeConsole(const wchar_t* text) {
  DWORD written = 0;
  WriteConsoleW(g_output.console, text, static_cast<DWORD>(textLength(text)), &written, nullptr);
  WriteConsoleW(g_output.console, L"\r\n", 2, &written, nullptr);
}

}  // namespace

bool beginUserOutput(const StubSwitches& switches) {
  g_output.silent = switches.silent;
  if (switches.silent && AttachConsole(ATTACH_PARENT_PROCESS)) {
    g_output.console = validOrNull(CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                               nullptr, OPEN_EXISTING, 0, nullptr));
  }
  if (!switches.logFile.hasText()) return true;
  // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end of the file.
  g_output.log = validOrNull(CreateFileW(asWide(switches.logFile.c_str()), FILE_APPEND_DATA, FILE_SHARE_READ,
                                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (g_output.log) return true;
  showLastError();
  return false;
}

void tellUser(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
  writeLogLine("MSG ", text);
  if (!g_output.silent) {
    MessageBoxW(owner, text, caption, type);
  } else if (g_output.console) {
    writeConsole(text);
  }
}

void logExtracted(const wchar_t* path) { writeLogLine("OK ", path); }
