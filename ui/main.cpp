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

constexpr wchar_t kSwitchesText[] =
    L"使い方: ファイル名 [スイッチ]\n\n"
    L"/S\t画面を表示せずに解凍します。\n"
    L"/D=フォルダ\t解凍先フォルダ。最後に指定します。\n"
    L"/NORUN\t解凍後にプログラムを起動しません。\n"
    L"/LOG=ファイル\t結果をファイルに追記します。\n"
    L"/?\tこの説明を表示します。";

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
  if (!output.begin(switches, observer)) return exit_code::failed;
  if (switches.help || switches.unknown) {
    output.tell(nullptr, kSwitchesText, L"Zolt SFX", MB_OK | MB_ICONINFORMATION);
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
