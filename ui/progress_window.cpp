#include "ui/progress_window.h"

#include <commctrl.h>
#include <process.h>
#include <shlwapi.h>

#include "core/app.h"
#include "core/extract.h"
#include "core/stub_switches.h"
#include "platform/win32_text.h"
#include "shell/shortcuts.h"
#include "ui/user_output.h"
#include "ui/destination_dialog.h"
#include "ui/destination_folder.h"
#include "ui/resource_ids.h"
#include "ui/window_messages.h"

namespace {

constexpr wchar_t kClassName[] = L"ZOLTSFXCLASS";

unsigned __stdcall workerEntry(void* app) {
  extractionWorker(static_cast<SfxApp*>(app));
  return 0;
}

}  // namespace

// Once per process: common controls, the payload, the window class.
bool ProgressWindow::runStartupSteps() {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
  if (!InitCommonControlsEx(&controls)) {
    app_->observer().showLastError();
    return false;
  }
  // A cut or damaged download is refused before anything is shown or written: every header,
  // every member's data inside the file, the end mark and the file's checksum.
  const PayloadOpen opened = openPayload(*app_);
  if (opened == PayloadOpen::cutSettings) {
    output_.tell(nullptr, asWide(DAMAGED_DOWNLOAD_TEXT), nullptr, MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  if (opened != PayloadOpen::ok) return false;  // it has shown its message, if any
  surveyPayload(*app_, app_->payload);
  if (app_->payload.problem != PayloadProblem::none) {
    output_.tell(nullptr, asWide(DAMAGED_DOWNLOAD_TEXT), nullptr, MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  // /D= replaces the settings' folder, made absolute against the directory the stub was
  // started in (still the current one).
  if (switches_.destination.hasText()) {
    app_->destinationFolder = switches_.destination;
    resolveFolder(app_->destinationFolder);
  }

  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance_;
  windowClass.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(IDI_APP));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  return RegisterClassExW(&windowClass) != 0;
}

bool ProgressWindow::start(SfxApp& app) {
  app_ = &app;
  if (!runStartupSteps()) return false;

  POINT cursor = {};
  GetCursorPos(&cursor);
  // Centred horizontally on the mouse pointer, 32 pixels below it, wherever that is.
  // WM_NCCREATE binds this object to the window.
  if (!CreateWindowExW(0, kClassName, L"Zolt SFX", WS_POPUP | WS_CAPTION | WS_SYSMENU, cursor.x - 110,
                       cursor.y + 32, 220, 100, nullptr, nullptr, instance_, this)) {
    return false;
  }
  if (!createControls()) return false;
  ShowWindow(window_, SW_HIDE);
  UpdateWindow(window_);
  PostMessageW(window_, WM_SFX_START, 0, 0);
  return true;
}

bool ProgressWindow::createControls() {
  auto child = [this](const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width,
                      int height, int id) {
    return CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, window_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
  };
  const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
  textLine_ = child(L"Static", L"", 0, 7, 5, 200, 15, 0);
  if (!textLine_) return false;
  SendMessageW(textLine_, WM_SETFONT, font, FALSE);
  bar_ = child(PROGRESS_CLASSW, nullptr, PBS_SMOOTH, 7, 23, 200, 20, 0);
  if (!bar_) return false;
  HWND abortButton = child(L"Button", L"中止", 0, 65, 50, 88, 19, IDC_ABORT);
  if (!abortButton) return false;
  SendMessageW(abortButton, WM_SETFONT, font, FALSE);
  return true;
}

// Sets the exit code and closes the window, which ends the program.
void ProgressWindow::endProgram(int exitCode) {
  exitCode_ = exitCode;
  DestroyWindow(window_);
}

// WM_SFX_START: the dialog (when the settings are complete), then the run. With /S there is
// no dialog and the window stays hidden: the settings' folder is taken as the dialog's OK
// would take it.
void ProgressWindow::onStart() {
  SfxApp& app = *app_;
  const bool silent = switches_.silent;
  // The dialog's OK checks the space and creates the folder itself, before it closes.
  const bool confirmed = app.settings.complete == 1 && !silent;
  if (app.settings.complete == 1) {
    if (silent) {
      resolveFolder(app.destinationFolder);
    } else {
      // 0: confirmed; 1: the destination could not be created; 2: cancelled. -1: no dialog.
      const INT_PTR result = runDestinationDialog(instance_, window_, app, output_);
      if (result != 0) {
        endProgram(result == exit_code::cancelled ? exit_code::cancelled : exit_code::failed);
        return;
      }
    }
  }
  // A WM_CLOSE sent to the hidden owner while the dialog was up has destroyed both.
  if (!IsWindow(window_)) return;
  SetWindowTextW(window_, asWide(app.settings.title.c_str()));
  if (!silent) ShowWindow(window_, SW_SHOW);
  const bool ready =
      confirmed ? ensureDestination(window_, output_, app) : prepareDestination(window_, output_, app);
  if (!ready) {
    endProgram(exit_code::failed);
    return;
  }
  worker_.reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, workerEntry, &app, 0, nullptr)));
  if (!worker_) {
    // Without a worker the window would wait for an end message that never comes.
    const DWORD code = GetLastError();
    app.observer().showSystemError(code ? code : ERROR_NOT_ENOUGH_MEMORY, MB_OK | MB_ICONEXCLAMATION);
    endProgram(exit_code::failed);
  }
}

// WM_SFX_DONE and WM_SFX_ABORTED: the worker's last act. Wait for the thread to return (it
// does nothing after posting), then finish the run and close.
void ProgressWindow::onRunEnded(bool aborted) {
  if (!worker_) return;  // not from our worker: any program can post to a window
  WaitForSingleObject(worker_.get(), INFINITE);
  worker_.reset();
  SfxApp& app = *app_;
  // An aborted run has removed the temporary file of the member it stopped in; its target
  // keeps what it held.
  int exitCode = exit_code::cancelled;
  if (!aborted && app.errorFlag) {
    exitCode = exit_code::failed;
  } else if (!aborted && !closing_) {
    // A shortcut that cannot be made does not keep the program from being started.
    bool done = true;
    if (app.settings.complete == 1) done = makeShortcuts(app, window_);
    if (!app.settings.programToRun.isEmpty() && !switches_.noRun) done &= runProgram(app, window_);
    exitCode = done ? exit_code::ok : exit_code::failed;
  }
  endProgram(exitCode);
}

// Closing the window ends the program at once, except while the worker runs: it still uses
// the archive file, the window and the output. Then the run is aborted like the abort
// button does, the window disappears, and it is destroyed when the worker has ended.
void ProgressWindow::onClose() {
  if (!worker_) {
    DestroyWindow(window_);
    return;
  }
  closing_ = true;
  app_->run.abort();
  ShowWindow(window_, SW_HIDE);
}

LRESULT CALLBACK ProgressWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<ProgressWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  return self->onMessage(message, wParam, lParam);
}

LRESULT ProgressWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(exitCode_);
      return 0;
    case WM_CLOSE:
      onClose();
      return 0;
    case WM_COMMAND:
      // The window stays until the worker ends the run with WM_SFX_ABORTED.
      if (LOWORD(wParam) == IDC_ABORT) app_->run.abort();
      return 0;
    case WM_SFX_START:
      onStart();
      return 0;
    case WM_SFX_MEMBER:
      showMemberPath(reinterpret_cast<const wchar_t*>(lParam));
      return 0;
    case WM_SFX_DONE:
      onRunEnded(false);
      return 0;
    case WM_SFX_ABORTED:
      onRunEnded(true);
      return 0;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

// Shows a member's path in the text line, shortened with an ellipsis to the line's width.
void ProgressWindow::showMemberPath(const wchar_t* path) {
  ScopedGetDC dc(textLine_);
  if (!dc) return;  // the line keeps its previous text
  // A path too long for the buffer keeps its end, where the member's own name is.
  wchar_t text[MAX_PATH] = {};
  const int length = textLength(path);
  copyText(text, length < MAX_PATH ? path : path + (length - (MAX_PATH - 1)), MAX_PATH);
  RECT client;
  GetClientRect(textLine_, &client);
  {
    // Measure with the font the line draws with, not the DC's default system font, or the
    // path is cut shorter than the line needs.
    ScopedSelectObject font(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(textLine_, WM_GETFONT, 0, 0)));
    PathCompactPathW(dc, text, client.right - client.left);
  }
  SetWindowTextW(textLine_, text);
}
