// The extraction run: every member of the archive, one after the other, into the current
// directory (the destination folder).
#pragma once

#include "core/lzh_header.h"
#include "core/wide_string.h"

struct SfxApp;

// The worker thread's body. Sets app->errorFlag when a member fails or a header is rejected,
// and ends with g_runObserver->runEnded(aborted).
void extractionWorker(SfxApp* app);
// One member; false stops the run (after the failure has been shown). A member that
// completes clears app.currentOutputPath, so only a partial file is ever named there.
bool extractMember(SfxApp& app, LzhHeader& header);
// True, after a warning, when a folder named path exists.
bool checkFolderClash(SfxApp& app, const WideString& path);
void setMemberTime(const WideString& path, const LzhHeader& header);
void notifyShellCreated(SfxApp& app, const WideString& storedPath);

// Corrupted-file text, "ファイル %s が壊れています。", built for a path of any length.
WideString corruptedFileText(const WideString& path);
