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
#include "decode/decode_status.h"
#include "decode/method_list.h"

struct SfxApp;

// Decodes one member from app's archive file (positioned on its packed data) into output.
// Stores path as app.currentOutputPath first. methodNumber is 0 to 10.
DecodeResult decodeMember(SfxApp& app, FileObject* output, uint32_t originalSize, uint32_t packedSize,
                          const WideString& path, int methodNumber);

// CRC-16/ARC (reflected 0xA001, initial 0, no final inversion).
void buildCrcTable();
uint16_t crc16Update(uint16_t crc, const uint8_t* bytes, size_t count);

// Progress and abort state shared with the run and the window.
extern uint32_t g_totalBytes;  // sum of all members' original sizes
extern uint32_t g_doneBytes;   // original sizes of the members done
extern uint32_t g_lastPercent;
extern std::atomic<int32_t> g_runFlag;  // 1 at start; the abort button sets 0

// Tells the run observer when the whole-run percentage changes.
void reportProgress(uint32_t memberBytesDone);
