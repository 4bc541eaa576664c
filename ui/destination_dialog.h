// The destination dialog (template IDD_DESTINATION) and the step that makes the destination
// folder exist and current.
#pragma once

#include <windows.h>

#include "core/wide_string.h"

struct SfxApp;

// Run with DialogBoxParamW and the SfxApp as parameter; shows the application's destination
// folder. Ends with 0 when the user confirmed and the destination exists and is the current
// directory, with 1 when it could not be created, and with 2 when the user cancelled (the
// exit codes of ui/exit_codes.h).
INT_PTR CALLBACK destinationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// A relative folder made absolute against the current directory, as the dialog's OK does.
void resolveFolder(WideString& folder);

// Creates the folder with its missing parents if need be and makes it the process's current
// directory. On failure shows "フォルダを作成できません" and returns false.
bool ensureDestination(SfxApp& app, const wchar_t* folder);
