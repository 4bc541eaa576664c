// How a run reaches the user. The engine never draws anything itself: it tells its observer,
// which the Windows stub implements with window messages and message boxes and zsfx with the
// terminal. Every application object has one; quietObserver() is the default, so the engine
// never asks whether someone is listening.
#pragma once

#include <cstdint>

#include "core/wide_string.h"

// The message box type of every engine message (MessageBoxW uType): MB_OK | MB_ICONEXCLAMATION.
inline constexpr uint32_t BOX_WARNING = 0x30;

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
  // WM_SFX_MEMBER: a member header was read; storedPath is only valid during the call.
  virtual void memberAnnounced(const char16_t* storedPath) = 0;
  // A member was written completely and verified, under writtenPath (the path made safe).
  // Only the stub's log uses it.
  virtual void memberExtracted(const char16_t* /*writtenPath*/) {}
  // PBM_SETPOS: the whole-run percentage changed (not clamped to 100).
  virtual void progressPercent(uint32_t percent) = 0;
  // A message box with one of the run's own texts; returns when the user has closed it.
  virtual void showMessage(const char16_t* text, MessageKind kind) = 0;
  // The system's text for an error code, no owner window.
  virtual void showSystemError(uint32_t code, uint32_t boxType) = 0;
  // WM_SFX_DONE (aborted false) or WM_SFX_ABORTED (aborted true): the worker's last act.
  virtual void runEnded(bool aborted) = 0;

  // showSystemError with the calling thread's last error code and BOX_WARNING.
  void showLastError();

 protected:
  // Observers are never owned through this interface. Not virtual, so that the quiet
  // observer, a global, needs no destructor to be registered at start-up.
  ~RunObserver() = default;
};

// The system's text for an error code, or the code's number when the system has none, so that
// a failure is never a blank message.
WideString systemErrorText(uint32_t code);

// How a failure names what failed: "<before><what><after>", then on a line of its own the
// reason, reason when given, else the system's text for error.
WideString failureText(const char16_t* before, const WideString& what, const char16_t* after, uint32_t error,
                       const char16_t* reason = nullptr);

// The observer that shows nothing: what an application object reports to unless it is given
// another one.
RunObserver& quietObserver();
