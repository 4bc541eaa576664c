#include "core/run_observer.h"

#include "platform/platform.h"

void RunObserver::showLastError() { showSystemError(platform::lastError(), BOX_WARNING); }
