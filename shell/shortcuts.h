// Shell integration after a successful run: shortcuts to one extracted file, and the
// program opened from the destination folder.
#pragma once

struct SfxApp;

// For the Start menu, the desktop and Send To, in this order: one shortcut each where the
// option byte has OPTION_ON. False when any of them could not be made; the others are still
// tried.
bool makeShortcuts(SfxApp& app);
// One shortcut in the special folder csidl; false when it could not be made.
bool makeShortcut(SfxApp& app, int csidl);
// Opens the settings' program (relative to the destination folder) through the shell; false
// when the shell could not open it.
bool runProgram(SfxApp& app);
