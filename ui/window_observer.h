// The run observer of the stub: the engine's notifications become the window messages and
// message boxes of the progress window.
#pragma once

#include <windows.h>

#include "core/run_observer.h"

class ProgressWindow;
class UserOutput;

class WindowRunObserver final : public RunObserver {
 public:
  WindowRunObserver(const ProgressWindow& window, UserOutput& output) : window_(window), output_(output) {}
  void memberAnnounced(const char16_t* storedPath) override;
  void memberExtracted(const char16_t* writtenPath) override;
  void progressPercent(uint32_t percent) override;
  void showMessage(const char16_t* text, MessageKind kind) override;
  void showSystemError(uint32_t code, uint32_t boxType) override;
  void runEnded(bool aborted) override;

 private:
  const ProgressWindow& window_;
  UserOutput& output_;
};
