#include "ui/user_output.h"

#include <cstdlib>
#include <cstring>

#include "core/run_observer.h"
#include "core/stub_switches.h"
#include "platform/win32_text.h"

namespace {

HANDLE validOrNull(HANDLE handle) { return handle == INVALID_HANDLE_VALUE ? nullptr : handle; }

// One line, written whole: the tag (tagBytes long), the text in UTF-8 with its line breaks
// made spaces (one message, one line), CR LF.
void writeUtf8Line(HANDLE file, const char* tag, size_t tagBytes, const wchar_t* text) {
  if (!file) return;
  const int textBytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (textBytes <= 0) return;
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
  WriteFile(file, line, static_cast<DWORD>(end - line), &written, nullptr);
  std::free(line);
}

// The tag's length is known where it is written: no strlen to import.
template <size_t tagSize>
void writeUtf8Line(HANDLE file, const char (&tag)[tagSize], const wchar_t* text) {
  writeUtf8Line(file, tag, tagSize - 1, text);
}

}  // namespace

void UserOutput::writeConsole(const wchar_t* text) {
  DWORD written = 0;
  WriteConsoleW(console_.get(), text, static_cast<DWORD>(textLength(text)), &written, nullptr);
  WriteConsoleW(console_.get(), L"\r\n", 2, &written, nullptr);
}

bool UserOutput::begin(const StubSwitches& switches, RunObserver& errors) {
  silent_ = switches.silent;
  if (switches.silent) {
    // Output that the caller redirected (setup.exe /S > out.txt) is used as it is; otherwise
    // the caller's console, when it has one.
    const HANDLE inherited = validOrNull(GetStdHandle(STD_OUTPUT_HANDLE));
    DWORD mode;
    if (inherited && !GetConsoleMode(inherited, &mode)) {
      redirected_ = inherited;
    } else if (AttachConsole(ATTACH_PARENT_PROCESS)) {
      console_.reset(CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    }
  }
  if (!switches.logFile.hasText()) return true;
  // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end of the file.
  log_.reset(CreateFileW(asWide(switches.logFile.c_str()), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (log_) return true;
  errors.showLastError();
  return false;
}

void UserOutput::tell(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
  writeUtf8Line(log_.get(), "MSG ", text);
  if (!silent_) {
    MessageBoxW(owner, text, caption, type);
  } else if (console_) {
    writeConsole(text);
  } else {
    writeUtf8Line(redirected_, "", text);
  }
}

void UserOutput::logExtracted(const wchar_t* path) { writeUtf8Line(log_.get(), "OK ", path); }
