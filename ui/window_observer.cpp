#include "ui/window_observer.h"

#include <commctrl.h>

#include "platform/platform.h"
#include "platform/win32_text.h"
#include "ui/progress_window.h"
#include "ui/user_output.h"
#include "ui/window_messages.h"

// Sent, not posted: the path belongs to the worker and is valid only during the call.
void WindowRunObserver::memberAnnounced(const char16_t* storedPath) {
  SendMessageW(window_.handle(), WM_SFX_MEMBER, 0, reinterpret_cast<LPARAM>(storedPath));
}

void WindowRunObserver::memberExtracted(const char16_t* writtenPath) { output_.logExtracted(asWide(writtenPath)); }

// A position above the bar's maximum of 100 shows as a full bar. Posted, not sent: the worker
// does not wait for the bar to be drawn (under Wine each sent update held the decoder up long
// enough to cost a tenth of the run's time, bench/run-stub-bench.sh). The window's thread
// takes posted messages in order, so the bar still reaches its last position before the
// run's end message.
void WindowRunObserver::progressPercent(uint32_t percent) {
  PostMessageW(window_.progressBar(), PBM_SETPOS, percent, 0);
}

// Modal on the calling thread (the worker), owned by the progress window; with /S on the
// console instead.
void WindowRunObserver::showMessage(const char16_t* text, MessageKind kind) {
  const bool unknownHeader = kind == MessageKind::unknownHeader;
  output_.tell(window_.handle(), asWide(text), unknownHeader ? L"Zolt SFX" : nullptr,
           unknownHeader ? MB_OK | MB_ICONERROR : BOX_WARNING);
}

// The system's own text for the code, in a box without owner or caption of its own.
void WindowRunObserver::showSystemError(uint32_t code, uint32_t boxType) {
  output_.tell(nullptr, asWide(systemErrorText(code).c_str()), nullptr, boxType);
}

// Posted: the worker must not wait for the shortcuts and the program start.
void WindowRunObserver::runEnded(bool aborted) {
  PostMessageW(window_.handle(), aborted ? WM_SFX_ABORTED : WM_SFX_DONE, 0, 0);
}
