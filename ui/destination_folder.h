// The destination folder: made absolute once, then created and entered. The dialog's OK and
// the start of a /S run both go through here.
#pragma once

#include <windows.h>

#include "core/wide_string.h"

struct SfxApp;
class UserOutput;

// A relative folder made absolute against the current directory, as the dialog's OK does.
void resolveFolder(WideString& folder);

// Creates app's destination folder with its missing parents if need be and makes it the
// process's current directory; a folder too long for that is written into through full
// paths (app.outputBase). On failure tells "フォルダ <folder> を作成できません。" with the
// system's reason (in a box owned by owner) and returns false.
bool ensureDestination(HWND owner, UserOutput& output, SfxApp& app);

// The run's room first: when the volume of app's destination folder has too little space,
// tells both figures and returns false, with nothing created. Then ensureDestination.
bool prepareDestination(HWND owner, UserOutput& output, SfxApp& app);
