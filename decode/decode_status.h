// How decoding a member ended, and the codecs' value for "this cannot be valid packed data".
#pragma once

#include <cstdint>

enum class DecodeStatus : uint8_t {
  ok,           // all bytes produced; judge them by the CRC
  damaged,      // the packed data cannot be valid (or ended early): the member is corrupted
  writeFailed,  // writing the output failed; systemError holds the platform's code
  aborted,      // the sink asked to stop (the run was aborted)
};

struct DecodeResult {
  uint16_t crc = 0;  // CRC-16 of the bytes written
  DecodeStatus status = DecodeStatus::ok;
  uint32_t systemError = 0;
};

inline DecodeResult damagedResult() { return {0, DecodeStatus::damaged, 0}; }

// Returned by a codec's symbol or position decoder instead of a value when the packed data
// is damaged; the decode loop then fails the member. No real symbol or position reaches it.
inline constexpr uint32_t kDamagedValue = 0xFFFFFFFFu;
