// What the console tool (zsfx) needs of the system beyond the engine's file operations. Kept
// apart from platform.h so that none of it can reach the stub.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// The command-line arguments after the program name, as UTF-16: argv converted from UTF-8
// on POSIX, the wide command line on Windows (argv is in the lossy ANSI code page there).
std::vector<std::u16string> commandLineArguments(int argc, char** argv);
// Output is UTF-8 bytes with "\n" line ends on every system, also when redirected.
void prepareConsoleOutput();
// The device that swallows what is written to it ("NUL", "/dev/null").
const char16_t* nullDevicePath();
// Whether standard error is an interactive terminal.
bool stderrIsTerminal();
// fopen of a UTF-16 path; mode as for fopen ("rb", "wb").
std::FILE* openStdioFile(const char16_t* path, const char* mode);

}  // namespace platform
