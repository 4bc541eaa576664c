#include "ui/progress_window.h"

#include <commctrl.h>
#include <process.h>
#include <shlwapi.h>

#include "core/app.h"
#include "core/extract.h"
#include "decode/frame.h"
#include "shell/shortcuts.h"
#include "ui/destination_dialog.h"
#include "ui/path_text.h"
#include "ui/resource_ids.h"
#include "ui/window_messages.h"
#include "ui/window_observer.h"

namespace {

constexpr wchar_t kClassName[] = L"ZOLTSFXCLASS";

HINSTANCE g_instance = nullptr;
bool g_classRegistered = false;
SfxApp* g_app = nullptr;

// The extraction thread while it runs; joined when its end message arrives, so that nothing
// it uses is released under it.
HANDLE g_worker = nullptr;
// The window was closed while the worker ran: the run is being stopped, and the window goes
// away as soon as the worker has ended.
bool g_closing = false;

LRESULT CALLBACK progressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Once per process: common controls, the payload, the window class.
bool runStartupSteps(SfxApp& app, HINSTANCE instance) {
  g_instance = instance;
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
  if (!InitCommonControlsEx(&controls)) {
    showLastError();
    return false;
  }
  if (!openPayload(app)) return false;  // it has shown its message, if any

  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = progressWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassExW(&windowClass)) return false;
  g_classRegistered = true;
  return true;
}

HWND createChild(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width,
                 int height, HWND parent, int id) {
  return CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_instance, nullptr);
}

unsigned __stdcall workerEntry(void* app) {
  extractionWorker(static_cast<SfxApp*>(app));
  return 0;
}

// WM_SFX_START: the dialog (when the settings are complete), then the run.
void onStart(HWND window) {
  SfxApp& app = *g_app;
  if (app.settings.complete == 1 &&
      DialogBoxParamW(g_instance, MAKEINTRESOURCEW(IDD_DESTINATION), window, destinationDialogProc,
                      reinterpret_cast<LPARAM>(&app)) != 0) {
    DestroyWindow(window);  // cancelled, destination not creatable, or no dialog at all
    return;
  }
  // A WM_CLOSE sent to the hidden owner while the dialog was up has destroyed both.
  if (!IsWindow(window)) return;
  SetWindowTextW(window, asWide(app.settings.title.c_str()));
  ShowWindow(window, SW_SHOW);
  if (!ensureDestination(app, asWide(app.destinationFolder.c_str()))) {
    DestroyWindow(window);
    return;
  }
  g_worker = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, workerEntry, &app, 0, nullptr));
  if (!g_worker) {
    // Without a worker the window would wait for an end message that never comes.
    const DWORD code = GetLastError();
    showSystemError(code ? code : ERROR_NOT_ENOUGH_MEMORY, MB_OK | MB_ICONEXCLAMATION);
    DestroyWindow(window);
  }
}

// WM_SFX_DONE and WM_SFX_ABORTED: the worker's last act. Wait for the thread to return (it
// does nothing after posting), then finish the run and close.
void onRunEnded(HWND window, bool aborted) {
  if (!g_worker) return;  // not from our worker: any program can post to a window
  WaitForSingleObject(g_worker, INFINITE);
  CloseHandle(g_worker);
  g_worker = nullptr;
  SfxApp& app = *g_app;
  if (aborted) {
    // The file whose decoding the abort stopped; the run leaves no path set when no file
    // member was cut short.
    if (!app.currentOutputPath.isEmpty()) DeleteFileW(asWide(app.currentOutputPath.c_str()));
  } else if (!app.errorFlag && !g_closing) {
    if (app.settings.complete == 1) makeShortcuts(app);
    if (!app.settings.programToRun.isEmpty()) runProgram(app);
  }
  DestroyWindow(window);
}

// Closing the window ends the program at once, except while the worker runs: it still uses
// the archive file, the window and the output. Then the run is aborted like the abort
// button does, the window disappears, and it is destroyed when the worker has ended.
void onClose(HWND window) {
  if (!g_worker) {
    DestroyWindow(window);
    return;
  }
  g_closing = true;
  g_runFlag = 0;
  ShowWindow(window, SW_HIDE);
}

LRESULT CALLBACK progressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      g_app = static_cast<SfxApp*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_CLOSE:
      onClose(window);
      return 0;
    case WM_COMMAND:
      // The window stays until the worker ends the run with WM_SFX_ABORTED.
      if (LOWORD(wParam) == IDC_ABORT) g_runFlag = 0;
      return 0;
    case WM_SFX_START:
      onStart(window);
      return 0;
    case WM_SFX_MEMBER:
      showMemberPath(*g_app, reinterpret_cast<const wchar_t*>(lParam));
      return 0;
    case WM_SFX_DONE:
      onRunEnded(window, false);
      return 0;
    case WM_SFX_ABORTED:
      onRunEnded(window, true);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool startApplication(SfxApp& app, HINSTANCE instance) {
  if (!g_classRegistered && !runStartupSteps(app, instance)) return false;

  POINT cursor = {};
  GetCursorPos(&cursor);
  // Centred horizontally on the mouse pointer, 32 pixels below it, wherever that is.
  HWND window = CreateWindowExW(0, kClassName, L"Zolt SFX", WS_POPUP | WS_CAPTION | WS_SYSMENU, cursor.x - 110,
                                cursor.y + 32, 220, 100, nullptr, nullptr, instance, &app);
  if (!window) return false;
  app.mainWindow = window;

  const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
  HWND textLine = createChild(L"Static", L"", 0, 7, 5, 200, 15, window, 0);
  if (!textLine) return false;
  app.textLine = textLine;
  SendMessageW(textLine, WM_SETFONT, font, FALSE);

  g_progressWnd = createChild(PROGRESS_CLASSW, nullptr, PBS_SMOOTH, 7, 23, 200, 20, window, 0);
  if (!g_progressWnd) return false;

  HWND abortButton = createChild(L"Button", L"中止", 0, 65, 50, 88, 19, window, IDC_ABORT);
  if (!abortButton) return false;
  SendMessageW(abortButton, WM_SETFONT, font, FALSE);

  ShowWindow(window, SW_HIDE);
  UpdateWindow(window);
  PostMessageW(window, WM_SFX_START, 0, 0);
  return true;
}

void showMemberPath(SfxApp& app, const wchar_t* path) {
  HWND textLine = static_cast<HWND>(app.textLine);
  HDC dc = GetDC(textLine);
  if (!dc) return;  // the line keeps its previous text
  // A path too long for the buffer keeps its end, where the member's own name is.
  wchar_t text[MAX_PATH] = {};
  const int length = textLength(path);
  copyText(text, length < MAX_PATH ? path : path + (length - (MAX_PATH - 1)), MAX_PATH);
  RECT client;
  GetClientRect(textLine, &client);
  // Measure with the font the line draws with, not the DC's default system font, or the
  // path is cut shorter than the line needs.
  HGDIOBJ previousFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(textLine, WM_GETFONT, 0, 0)));
  PathCompactPathW(dc, text, client.right - client.left);
  SelectObject(dc, previousFont);
  SetWindowTextW(textLine, text);
  ReleaseDC(textLine, dc);
}
