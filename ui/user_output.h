// Where the stub's messages go: message boxes, or with /S the caller's console or output; and
// the /LOG file, which records every message and every extracted member.
#pragma once

#include <windows.h>

#include "platform/win32_scoped.h"

class RunObserver;
struct StubSwitches;

class UserOutput {
 public:
  // Sets the output up for the switches: with /S, the output the caller redirected (UTF-8),
  // or else the console of the process that started the stub (when it has one); with
  // /LOG=FILE, FILE opened for appending, a relative name taken against the current
  // directory (call this before anything changes it). False, after the system's text has
  // been shown through errors, when the log cannot be opened.
  bool begin(const StubSwitches& switches, RunObserver& errors);

  // One message: a box (owner, caption and type as MessageBoxW takes them) unless the run is
  // silent, then a line on the console; and "MSG <text>" in the log. Returns when the user
  // has closed the box.
  void tell(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

  // "OK <path>" in the log for a member written under path.
  void logExtracted(const wchar_t* path);

 private:
  void writeConsole(const wchar_t* text);

  bool silent_ = false;
  ScopedHandle console_;     // the caller's console, with /S
  HANDLE redirected_ = nullptr;  // the caller's output, a file or a pipe, with /S (not ours to close)
  ScopedHandle log_;
};
