// The destination dialog (template IDD_DESTINATION): the destination folder, typed or
// browsed, and the three shortcut options.
#pragma once

#include <windows.h>

struct SfxApp;
class UserOutput;

// Shows the dialog, owned by owner, over the application's destination folder and settings.
// 0 when the user confirmed and the destination exists and is the current directory (the
// choices are then in app), 1 when it could not be created, 2 when the user cancelled (the
// exit codes of ui/exit_codes.h), -1 when the dialog could not be shown.
INT_PTR runDestinationDialog(HINSTANCE instance, HWND owner, SfxApp& app, UserOutput& output);
