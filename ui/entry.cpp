// Where the stub's process starts, in place of the C runtime's start-up code.
//
// The runtime the stub uses (msvcrt.dll: malloc, _beginthreadex, _wutime64, ...) initialises
// itself when it is loaded; the static start-up code of mingw-w64 adds only what the stub
// does not need (argv parsing, floating-point set-up, TLS callbacks, pseudo-relocations
// for imported data), some 6 KB of a stub that must stay small. What remains to do here:
// run the static constructors, call wWinMain, and end the process with its result.
#include <windows.h>

#include <cstddef>

#include "core/stub_switches.h"
#include "platform/win32_text.h"
#include "ui/system_imports.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand);

// The linker's list of static constructors: -1, the constructors, then a null entry. They
// run from the last to the first, as the runtime runs them. (The runtime's own __main would
// also register the destructors with atexit; the stub ends with ExitProcess and needs none.)
extern "C" void (*__CTOR_LIST__[])();

namespace {
void runStaticConstructors() {
  size_t count = 0;
  while (__CTOR_LIST__[count + 1]) ++count;
  for (size_t i = count; i > 0; --i) __CTOR_LIST__[i]();
}
}  // namespace

// The linker's symbol at the start of the image: the module handle of the program.
extern "C" IMAGE_DOS_HEADER __ImageBase;

extern "C" void stubEntry() {
  // First of all: every DLL loaded from now on, and every dependency of one, comes from
  // System32, never from the program's folder or the current directory.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // A Windows without user32 or shell32 cannot show a word; the exit code is all there is.
  if (!loadSystemImports()) ExitProcess(1);
  runStaticConstructors();
  // wWinMain gets the arguments without the program's name, as the runtime would pass them.
  // The show command is not used.
  const auto instance = reinterpret_cast<HINSTANCE>(&__ImageBase);
  const auto arguments = const_cast<PWSTR>(asWide(skipProgramName(asUtf16(GetCommandLineW()))));
  ExitProcess(static_cast<UINT>(wWinMain(instance, nullptr, arguments, SW_SHOWDEFAULT)));
}
