// The extraction run: every member of the archive, one after the other, into the current
// directory (the destination folder).
#pragma once

#include "core/lzh_header.h"
#include "core/run_texts.h"
#include "core/wide_string.h"
#include "decode/decode_status.h"

struct SfxApp;

// The worker thread's body, after surveyPayload has filled app->payload. Sets app->errorFlag
// when a member fails or a header is rejected, and ends with the observer's runEnded(aborted).
void extractionWorker(SfxApp* app);
// One member; false stops the run (after the failure has been shown, naming the member). A
// file member replaces its target only once it is whole and verified.
bool extractMember(SfxApp& app, LzhHeader& header);
// The verdict on a member that the decoder ran to its end without an abort: a write error,
// damaged packed data or a CRC that differs from the header's fails it, after the failure
// has been shown (a corrupted member also sets app.errorFlag). The run and zsfx test judge
// with it alike.
bool acceptDecodedMember(SfxApp& app, const LzhHeader& header, const WideString& path,
                         const DecodeResult& result);
// True, after a warning that names the member's path, when a folder stands at target.
bool checkFolderClash(SfxApp& app, const WideString& target, const WideString& path);
void setMemberTime(const WideString& path, const LzhHeader& header);
void notifyShellCreated(SfxApp& app, const WideString& storedPath);

// Corrupted-file text, "ファイル %s が壊れています。" in texts' language, built for a path
// of any length.
WideString corruptedFileText(const RunTexts& texts, const WideString& path);
