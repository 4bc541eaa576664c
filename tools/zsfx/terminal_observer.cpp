#include "tools/zsfx/terminal_observer.h"

#include <cstdio>

#include "platform/platform.h"
#include "tools/zsfx/text.h"

TerminalObserver::TerminalObserver(bool showProgress) : showProgress_(showProgress) {}

TerminalObserver::~TerminalObserver() { clearProgressLine(); }

void TerminalObserver::clearProgressLine() {
  if (progressDrawn_) {
    printErr("\r\033[K");
    progressDrawn_ = false;
  }
}

void TerminalObserver::memberAnnounced(const char16_t* storedPath) { currentMember_ = toUtf8(storedPath); }

void TerminalObserver::progressPercent(uint32_t percent) {
  if (!showProgress_) return;
  constexpr int kWidth = 30;
  const uint32_t shown = percent > 100 ? 100 : percent;
  const int filled = static_cast<int>(shown * kWidth / 100);
  std::string bar = "\r[" + std::string(filled, '#') + std::string(kWidth - filled, ' ') + "] ";
  bar += std::to_string(shown) + "% " + currentMember_.substr(0, 40) + "\033[K";
  printErr(bar);
  progressDrawn_ = true;
}

void TerminalObserver::showMessage(const char16_t* text, MessageKind /*kind*/) {
  clearProgressLine();
  ++failures_;
  printErr("zsfx: " + toUtf8(text) + "\n");
}

void TerminalObserver::showSystemError(uint32_t code, uint32_t /*boxType*/) {
  clearProgressLine();
  ++failures_;
  char16_t text[512];
  std::string message;
  if (platform::systemErrorText(code, text, 512) > 0) {
    message = toUtf8(text);
  } else {
    message = "error " + std::to_string(code);
  }
  if (currentMember_.empty()) {
    printErr("zsfx: " + message + "\n");
  } else {
    printErr("zsfx: " + currentMember_ + ": " + message + "\n");
  }
}

void TerminalObserver::runEnded(bool /*aborted*/) { clearProgressLine(); }
