// The stub's one top-level window: hidden while the destination dialog is up, then the
// progress window of the run (member path, progress bar, abort button).
#pragma once

#include <windows.h>

struct SfxApp;
struct StubSwitches;

// The steps that construct the application: once per process the common controls, the
// payload (openPayload) and the window class; then the hidden window and its controls, and
// WM_SFX_START posted to it. False when any of that fails (a message was shown where the
// failure has a system text); the program then ends without a window. The switches must
// live as long as the window; the quit message carries the exit code (ui/exit_codes.h).
bool startApplication(SfxApp& app, HINSTANCE instance, const StubSwitches& switches);

// Shows a member's path in the text line, shortened with an ellipsis to the line's width.
void showMemberPath(SfxApp& app, const wchar_t* path);
