// Entry point of the self-extracting stub. Everything it extracts and sets up comes from its
// own file; the command line only makes the run unattended (/S, /D=, /NORUN, /LOG=, /?).
#include <windows.h>

#include "core/app.h"
#include "core/stub_switches.h"
#include "platform/win32_text.h"
#include "ui/exit_codes.h"
#include "ui/progress_window.h"
#include "ui/user_output.h"
#include "ui/window_observer.h"

namespace {

// The language byte that zsfx make writes into the DOS header of its copy of the stub, at
// file offset 46, which Windows maps with the rest of the headers: 0 Japanese, 1 English, 2
// Japanese where the user's Windows display language is Japanese and English elsewhere. Any
// other value is a stub that make did not write: its texts stay Japanese.
Language fileLanguage(HINSTANCE instance) {
  switch (reinterpret_cast<const uint8_t*>(instance)[46]) {
    case 1:
      return Language::english;
    case 2:
      return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? Language::japanese : Language::english;
    default:
      return Language::japanese;
  }
}

}  // namespace

// commandLine holds the arguments only (the entry point has skipped the program's name).
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  const StubSwitches switches = parseStubSwitches(asUtf16(commandLine));
  // The run's objects, made once and passed down: the output of every message, the window
  // (bound to its Win32 window when that is created), the observer that turns the engine's
  // notifications into the window's messages, and the application.
  UserOutput output;
  ProgressWindow window(instance, switches, output);
  WindowRunObserver observer(window, output);
  SfxApp app(observer);
  app.texts.use(fileLanguage(instance));
  if (!output.begin(switches, observer)) return exit_code::failed;
  if (switches.help || switches.unknown) {
    output.tell(nullptr, asWide(app.texts[Text::switchesHelp]), L"Zolt SFX", MB_OK | MB_ICONINFORMATION);
    return switches.unknown ? exit_code::badCommandLine : exit_code::ok;
  }
  if (!window.start(app)) return exit_code::failed;  // no window was shown

  MSG message;
  int result;
  while ((result = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    // The progress window is a dialog: Esc and the mnemonics reach it through here.
    if (IsDialogMessageW(window.handle(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  // 0: WM_QUIT and its exit code; -1 (a broken loop) ends the program as well.
  return result == 0 ? static_cast<int>(message.wParam) : exit_code::failed;
}
