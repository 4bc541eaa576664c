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

WideString failureText(const char16_t* before, const WideString& what, const char16_t* after, uint32_t error,
                       const char16_t* reason) {
  WideString text(before);
  text.append(what);
  text.appendText(after);
  text.appendChar(u'\n');
  if (reason != nullptr) {
    text.appendText(reason);
  } else {
    text.append(systemErrorText(error));
  }
  return text;
}
