// The start-up yardstick of bench/run-stub-bench.sh: the least a GUI program does that the
// stub does too. It registers a class, creates a window, shows and paints it, then closes it
// through its own message loop and ends. Whatever the stub's tiny run takes beyond this
// program's run is the stub's own start-up and extraction cost, not Wine's.
#include <windows.h>

namespace {

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = windowProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"ZoltMinimalWindow";
  if (RegisterClassW(&windowClass) == 0) return 1;
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Zolt SFX", WS_OVERLAPPED | WS_CAPTION,
                                CW_USEDEFAULT, CW_USEDEFAULT, 400, 150, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  // Queued behind the messages of showing the window: the loop handles those first, and
  // DefWindowProcW answers WM_CLOSE by destroying the window.
  PostMessageW(window, WM_CLOSE, 0, 0);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
