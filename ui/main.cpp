// Entry point of the self-extracting stub. Everything the stub needs is in its own file: it
// takes no arguments, reads no configuration and writes no log.
#include <windows.h>

#include "core/app.h"
#include "ui/progress_window.h"
#include "ui/window_observer.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  SfxApp app;
  WindowRunObserver observer(app);
  g_runObserver = &observer;
  if (!startApplication(app, instance)) return 1;  // no window was shown

  MSG message;
  int result;
  while ((result = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  // 0: WM_QUIT and its exit code; -1 (a broken loop) ends the program as well.
  return result == 0 ? static_cast<int>(message.wParam) : 1;
}
