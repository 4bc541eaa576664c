// The stub's process exit codes, the same in every mode, so that a deployment script
// (start /wait setup.exe /S) can tell a good install from a broken one.
#pragma once

namespace exit_code {
// Every member extracted and verified; the shortcuts made and the program started as asked.
inline constexpr int ok = 0;
// A member failed, a header was rejected, the payload could not be read, the destination
// could not be created, or a shortcut or the program start failed.
inline constexpr int failed = 1;
// The user cancelled the dialog, pressed abort or closed the window.
inline constexpr int cancelled = 2;
// An unknown switch on the command line.
inline constexpr int badCommandLine = 3;
}  // namespace exit_code
