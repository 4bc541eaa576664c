// Private messages of the progress window. The worker thread reaches the window only
// through these and through the progress bar's PBM_SETPOS.
#pragma once

#include <windows.h>

// Posted by the window to itself once it exists: show the dialog, then start the worker.
inline constexpr UINT WM_SFX_START = WM_APP + 0;
// Sent (synchronously) by the worker after each member header; lParam is the member's
// stored path, valid only while the message is handled.
inline constexpr UINT WM_SFX_MEMBER = WM_APP + 1;
// WM_APP + 2 is not used.
// Posted by the worker as its last act: the run ended (perhaps with a failed member) ...
inline constexpr UINT WM_SFX_DONE = WM_APP + 3;
// ... or was aborted.
inline constexpr UINT WM_SFX_ABORTED = WM_APP + 4;
