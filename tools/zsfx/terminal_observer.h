// The run observer of zsfx: the run's messages go to stderr in the system's own words, the
// progress bar too when stderr is a terminal, and every failure is remembered for the exit
// status.
#pragma once

#include <cstdint>
#include <string>

#include "core/run_observer.h"

class TerminalObserver : public RunObserver {
 public:
  explicit TerminalObserver(bool showProgress);
  ~TerminalObserver();

  void memberAnnounced(const char16_t* storedPath) override;
  void progressPercent(uint32_t percent) override;
  void showMessage(const char16_t* text, MessageKind kind) override;
  void showSystemError(uint32_t code, uint32_t boxType) override;
  void runEnded(bool aborted) override;

  // A message or a system error was shown: something failed.
  bool sawFailure() const { return failures_ > 0; }
  const std::string& currentMember() const { return currentMember_; }

 private:
  void clearProgressLine();

  bool showProgress_;
  bool progressDrawn_ = false;
  int failures_ = 0;
  std::string currentMember_;
};
