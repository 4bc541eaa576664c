// Shell integration after a successful run: shortcuts to one extracted file, and the
// program opened from the destination folder.
#pragma once

#include <windows.h>

struct SfxApp;

// owner is the window of the shell's own messages, if any.
// For the Start menu, the desktop and Send To, in this order: one shortcut each where the
// option byte has OPTION_ON. False when any of them could not be made; the others are still
// tried.
bool makeShortcuts(SfxApp& app, HWND owner);
// One shortcut in the special folder csidl; false when it could not be made.
bool makeShortcut(SfxApp& app, HWND owner, int csidl);
// Opens the settings' program (relative to the destination folder) through the shell; false
// when the shell could not open it.
bool runProgram(SfxApp& app, HWND owner);
