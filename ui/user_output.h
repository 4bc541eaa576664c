// Where the stub's messages go: message boxes, or with /S the caller's console or output; and the
// /LOG file, which records every message and every extracted member.
#pragma once

#include <windows.h>

struct StubSwitches;

// Sets the output up for the switches: with /S, the output the caller redirected (UTF-8), or
// else the console of the process that started the stub (when it has one); with /LOG=FILE, FILE opened for appending, a relative name taken
// against the current directory (call this before anything changes it). False, after the
// system's text has been told, when the log cannot be opened.
bool beginUserOutput(const StubSwitches& switches);

// One message: a box (owner, caption and type as MessageBoxW takes them) unless the run is
// silent, then a line on the console; and "MSG <text>" in the log. Returns when the user has
// closed the box.
void tellUser(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

// "OK <path>" in the log for a member written under path.
void logExtracted(const wchar_t* path);
