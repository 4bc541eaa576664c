// Shell integration after a successful run: shortcuts to one extracted file, and the
// program opened from the destination folder.
#pragma once

struct SfxApp;

// For the Start menu, the desktop and Send To, in this order: one shortcut each where the
// option byte has OPTION_ON. A shortcut that cannot be made is simply missing.
void makeShortcuts(SfxApp& app);
// One shortcut in the special folder csidl.
void makeShortcut(SfxApp& app, int csidl);
// Opens the settings' program (relative to the destination folder) through the shell.
void runProgram(SfxApp& app);
