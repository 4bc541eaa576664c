// The decoder frame: method list, CRC-16, stored copy, progress and abort state, and the
// entry point that turns one member's packed data into its bytes.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "core/file_object.h"
#include "core/wide_string.h"
#include "decode/crc16.h"

struct SfxApp;

// Method numbers are positions in this list; the comparison covers exactly 5 bytes.
inline constexpr int METHOD_COUNT = 12;
inline constexpr char METHOD_IDS[METHOD_COUNT][6] = {
    "-lh0-", "-lh1-", "-lh2-", "-lh3-", "-lh4-", "-lh5-",
    "-lh6-", "-lh7-", "-lzs-", "-lz5-", "-lz4-", "-lhd-"};
inline constexpr int METHOD_LH0 = 0;
inline constexpr int METHOD_LZ4 = 10;
inline constexpr int METHOD_DIRECTORY = 11;

// The method number of a 5-byte identifier, or -1 when it is not in the list.
int findMethodNumber(const uint8_t id[5]);

enum class DecodeStatus : uint8_t {
  ok,           // all bytes produced; judge them by the CRC
  damaged,      // the packed data cannot be valid (or ended early): the member is corrupted
  writeFailed,  // writing the output failed; systemError holds the platform's code
  aborted,      // g_runFlag was cleared
};

struct DecodeResult {
  uint16_t crc = 0;  // CRC-16 of the bytes written
  DecodeStatus status = DecodeStatus::ok;
  uint32_t systemError = 0;
};

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
