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

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

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
    output_.tell(nullptr, asWide(app_->texts[Text::damagedDownload]), nullptr, MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  if (opened != PayloadOpen::ok) return false;  // it has shown its message, if any
  surveyPayload(*app_, app_->payload);
  if (app_->payload.problem != PayloadProblem::none) {
    output_.tell(nullptr, asWide(app_->texts[Text::damagedDownload]), nullptr, MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  // /D= replaces the settings' folder, made absolute against the directory the stub was
  // started in (still the current one).
  if (switches_.destination.hasText()) {
    app_->destinationFolder = switches_.destination;
    resolveFolder(app_->destinationFolder);
  }

  // The class of the progress dialog: a dialog's window procedure and extra bytes, the
  // stub's icon.
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = DefDlgProcW;
  windowClass.cbWndExtra = DLGWINDOWEXTRA;
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
  // Hidden until the run begins; WM_INITDIALOG binds this object to the window.
  const int id = app.texts.language() == Language::english ? IDD_PROGRESS_ENGLISH : IDD_PROGRESS;
  if (!CreateDialogParamW(instance_, MAKEINTRESOURCEW(id), nullptr, procedure,
                          reinterpret_cast<LPARAM>(this))) {
    return false;
  }
  placeNearPointer();
  PostMessageW(window_, WM_SFX_START, 0, 0);
  return true;
}

// Centred under the mouse pointer, a little below it, as far as the monitor's work area
// allows: the whole window is always on the screen.
void ProgressWindow::placeNearPointer() {
  POINT cursor = {};
  GetCursorPos(&cursor);
  RECT frame;
  GetWindowRect(window_, &frame);
  const LONG width = frame.right - frame.left, height = frame.bottom - frame.top;
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  const auto clamp = [](LONG value, LONG low, LONG high) { return value < low ? low : value > high ? high : value; };
  const LONG x = clamp(cursor.x - width / 2, work.left, work.right - width);
  const LONG y = clamp(cursor.y + 32, work.top, work.bottom - height);
  SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
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

INT_PTR CALLBACK ProgressWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<ProgressWindow*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->window_ = window;
    self->textLine_ = GetDlgItem(window, IDC_PATH_LINE);
    self->bar_ = GetDlgItem(window, IDC_PROGRESS_BAR);
    return FALSE;  // no control takes the focus: Enter and Space press nothing
  }
  auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(window, DWLP_USER));
  return self != nullptr && self->onMessage(message, wParam, lParam);
}

bool ProgressWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(exitCode_);
      return true;
    case WM_CLOSE:
      onClose();
      return true;
    case WM_COMMAND:
      // The button, and Esc (IDCANCEL): the window stays until the worker ends the run with
      // WM_SFX_ABORTED. Enter (IDOK) does nothing.
      if (LOWORD(wParam) == IDC_ABORT || LOWORD(wParam) == IDCANCEL) app_->run.abort();
      return true;
    case WM_DPICHANGED: {
      // Moved to a monitor of another DPI: the size and place the system suggests.
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      return true;
    }
    case WM_SFX_START:
      onStart();
      return true;
    case WM_SFX_MEMBER:
      showMemberPath(reinterpret_cast<const wchar_t*>(lParam));
      return true;
    case WM_SFX_DONE:
      onRunEnded(false);
      return true;
    case WM_SFX_ABORTED:
      onRunEnded(true);
      return true;
  }
  return false;
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
