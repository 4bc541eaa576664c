// The default observer, in a file of its own: a program that always passes its own observer
// (the stub) links none of it.
#include "core/run_observer.h"

namespace {

class QuietObserver final : public RunObserver {
 public:
  void memberAnnounced(const char16_t*) override {}
  void progressPercent(uint32_t) override {}
  void showMessage(const char16_t*, MessageKind) override {}
  void showSystemError(uint32_t, uint32_t) override {}
  void runEnded(bool) override {}
};

// Constant-initialised (no constructor to run, no guard): safe from any thread at any time.
constinit QuietObserver g_quiet;

}  // namespace

RunObserver& quietObserver() { return g_quiet; }
