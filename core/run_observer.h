// How a run reaches the user. The engine never draws anything itself: it tells the one
// observer of the process, which the Windows stub implements with window messages and
// message boxes and zsfx with the terminal.
#pragma once

#include <cstdint>

// Message box types the engine uses (MessageBoxW uType values).
inline constexpr uint32_t BOX_WARNING = 0x30;  // MB_OK | MB_ICONEXCLAMATION
inline constexpr uint32_t BOX_ERROR = 0x10;    // MB_OK | MB_ICONERROR

enum class MessageKind {
  // A box owned by the main window, no caption of its own, MB_OK | MB_ICONEXCLAMATION:
  // the corrupted-file and folder-clash texts.
  warning,
  // The header reader's "Unknown header" box: owned by the main window, caption "Zolt SFX",
  // MB_ICONERROR.
  unknownHeader,
};

class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // WM_SFX_MEMBER: a member header was read; storedPath is only valid during the call.
  virtual void memberAnnounced(const char16_t* storedPath) = 0;
  // A member was written completely and verified, under writtenPath (the path made safe).
  // Only the stub's log uses it.
  virtual void memberExtracted(const char16_t* /*writtenPath*/) {}
  // PBM_SETPOS: the whole-run percentage changed (not clamped to 100).
  virtual void progressPercent(uint32_t percent) = 0;
  // A message box with one of the run's own texts; returns when the user has closed it.
  virtual void showMessage(const char16_t* text, MessageKind kind) = 0;
  // showSystemError: the system's text for an error code, no owner window.
  virtual void showSystemError(uint32_t code, uint32_t boxType) = 0;
  // WM_SFX_DONE (aborted false) or WM_SFX_ABORTED (aborted true): the worker's last act.
  virtual void runEnded(bool aborted) = 0;
};

// The process's observer. Set once at start-up, before any run; null shows nothing.
extern RunObserver* g_runObserver;

// Makes observer the process's observer for the lifetime of this object and then puts back
// the one before, so that no command or test leaves g_runObserver pointing at an object
// that has gone.
class ScopedRunObserver {
 public:
  explicit ScopedRunObserver(RunObserver& observer) : previous_(g_runObserver) { g_runObserver = &observer; }
  ~ScopedRunObserver() { g_runObserver = previous_; }
  ScopedRunObserver(const ScopedRunObserver&) = delete;
  ScopedRunObserver& operator=(const ScopedRunObserver&) = delete;

 private:
  RunObserver* previous_;
};
