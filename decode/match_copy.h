// Copying a match inside the output window.
#pragma once

#include <cstdint>
#include <cstring>

// Copies a match of length bytes from distance bytes back. An overlapping match (distance
// below the length) repeats the bytes it produces, exactly as a byte-by-byte copy does.
// Writes up to 7 bytes past the match, which later items overwrite, so the window keeps
// slack behind its block end.
inline void copyMatch(uint8_t* out, uint32_t distance, uint32_t length) {
  const uint8_t* src = out - distance;
  if (distance >= 8) {
    // Each 8-byte load ends at or before the byte being written: no overlap within a step.
    uint8_t* const end = out + length;
    do {
      std::memcpy(out, src, 8);
      out += 8;
      src += 8;
    } while (out < end);
  } else if (distance == 1) {
    std::memset(out, *src, length);
  } else {
    for (uint32_t i = 0; i < length; ++i) out[i] = src[i];
  }
}
