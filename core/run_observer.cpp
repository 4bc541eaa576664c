#include "core/run_observer.h"

#include "platform/platform.h"

void RunObserver::showLastError() { showSystemError(platform::lastError(), BOX_WARNING); }

WideString systemErrorText(uint32_t code) {
  char16_t text[512];
  WideString message(u"");
  if (platform::systemErrorText(code, text, 512) > 0) {
    message.assign(text);
  } else {
    message.appendNumber(code);
  }
  return message;
}
