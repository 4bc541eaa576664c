// The decoder frame: CRC-16, stored copy, progress and abort state, and the entry point that
// turns one member's packed data into its bytes. It is the one bridge between the run (core:
// the application object, its files) and the decoders, which see only a byte source and a
// sink.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "core/file_object.h"
#include "core/wide_string.h"
#include "decode/crc16.h"
#include "decode/decode_status.h"
#include "decode/method_list.h"

struct SfxApp;

// Decodes one member from app's archive file (positioned on its packed data) into output.
// Stores path as app.currentOutputPath first. methodNumber is 0 to 10.
DecodeResult decodeMember(SfxApp& app, FileObject* output, uint64_t originalSize, uint64_t packedSize,
                          const WideString& path, int methodNumber);


// Progress and abort state shared with the run and the window. The totals are 64-bit: an
// archive may hold far more than 4 GiB.
extern uint64_t g_totalBytes;  // sum of all members' original sizes
extern uint64_t g_doneBytes;   // original sizes of the members done
extern uint32_t g_lastPercent;
// 1 at start; the abort button sets 0. beginRun leaves it alone: the window owns it, and an
// abort pressed before the worker begins must not be lost.
extern std::atomic<int32_t> g_runFlag;

// The beginning of a run: builds the CRC table and starts the progress at 0 of totalBytes.
void beginRun(uint64_t totalBytes);

// Tells the run observer when the whole-run percentage changes.
void reportProgress(uint64_t memberBytesDone);
