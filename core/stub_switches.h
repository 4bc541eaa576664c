// The stub's command line: switches for unattended installs. With no arguments the stub
// behaves as it always has.
#pragma once

#include "core/wide_string.h"

struct StubSwitches {
  bool silent = false;   // /S: no dialog, no window, no message box
  bool noRun = false;    // /NORUN: extract and make the shortcuts, start no program
  bool help = false;     // /?: show the switches
  bool unknown = false;  // anything else: show the switches, exit code 3
  WideString destination;  // /D=PATH, no text when not given
  WideString logFile;      // /LOG=FILE, no text when not given
};

// The arguments of a full command line: what follows the program's name (quoted or not).
const char16_t* skipProgramName(const char16_t* commandLine);

// Reads the switches from the arguments, split and unquoted as the C runtime does (a switch
// quoted whole, "/LOG=C:\my logs\x.log", is the same switch). A switch starts with "/" or
// "-"; names are compared without regard to case. /D= must come last: its value is the rest
// of the line, without trailing spaces and without one pair of quotes around the value or
// around the whole switch, so spaces need no quotes. A missing value, an argument that is no
// switch, or an unknown switch sets unknown.
StubSwitches parseStubSwitches(const char16_t* arguments);
