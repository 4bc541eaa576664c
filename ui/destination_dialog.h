// The destination dialog (template IDD_DESTINATION) and the step that makes the destination
// folder exist and current.
#pragma once

#include <windows.h>

struct SfxApp;

// Run with DialogBoxParamW and the SfxApp as parameter. Ends with 0 when the user confirmed
// and the destination exists and is the current directory, with 1 otherwise.
INT_PTR CALLBACK destinationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Creates the folder with its missing parents if need be and makes it the process's current
// directory. On failure shows "フォルダを作成できません" and returns false.
bool ensureDestination(SfxApp& app, const wchar_t* folder);
