// The stub's one top-level window: hidden while the destination dialog is up, then the
// progress window of the run (member path, progress bar, abort button). A modeless dialog
// (template IDD_PROGRESS) of the window class "ZOLTSFXCLASS".
#pragma once

#include <windows.h>

#include "platform/win32_scoped.h"
#include "ui/exit_codes.h"

struct SfxApp;
struct StubSwitches;
class UserOutput;

class ProgressWindow {
 public:
  // The switches and the output must live as long as the window.
  ProgressWindow(HINSTANCE instance, const StubSwitches& switches, UserOutput& output)
      : instance_(instance), switches_(switches), output_(output) {}
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  // The steps that construct the application: the common controls, the payload (openPayload)
  // and the window class; then the hidden window, placed by the pointer, and WM_SFX_START
  // posted to it. False when any of that fails (a message was shown where the failure has a system
  // text); the program then ends without a window. The quit message carries the exit code
  // (ui/exit_codes.h).
  bool start(SfxApp& app);

  HWND handle() const { return window_; }
  HWND progressBar() const { return bar_; }

 private:
  static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool onMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool runStartupSteps();
  void placeNearPointer();
  void onStart();
  void onRunEnded(bool aborted);
  void onClose();
  void showMemberPath(const wchar_t* path);
  void endProgram(int exitCode);

  HINSTANCE instance_;
  const StubSwitches& switches_;
  UserOutput& output_;
  SfxApp* app_ = nullptr;
  HWND window_ = nullptr;
  HWND textLine_ = nullptr;
  HWND bar_ = nullptr;
  // The extraction thread while it runs; joined when its end message arrives, so that
  // nothing it uses is released under it.
  ScopedHandle worker_;
  // The window was closed while the worker ran: the run is being stopped, and the window
  // goes away as soon as the worker has ended.
  bool closing_ = false;
  // The process's exit code, posted with the quit message. Every way to the end sets it,
  // except closing the window, which is what it starts as.
  int exitCode_ = exit_code::cancelled;
};
