// The run observer of the stub: the engine's notifications become the window messages and
// message boxes of the progress window.
#pragma once

#include <windows.h>

#include "core/run_observer.h"

struct SfxApp;

// The progress bar; reportProgress moves it with PBM_SETPOS.
extern HWND g_progressWnd;

class WindowRunObserver final : public RunObserver {
 public:
  explicit WindowRunObserver(SfxApp& app) : app_(app) {}
  void memberAnnounced(const char16_t* storedPath) override;
  void memberExtracted(const char16_t* writtenPath) override;
  void progressPercent(uint32_t percent) override;
  void showMessage(const char16_t* text, MessageKind kind) override;
  void showSystemError(uint32_t code, uint32_t boxType) override;
  void runEnded(bool aborted) override;

 private:
  HWND mainWindow() const;
  SfxApp& app_;
};
