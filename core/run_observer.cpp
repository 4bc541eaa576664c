#include "core/run_observer.h"

RunObserver* g_runObserver = nullptr;
