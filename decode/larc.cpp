#include "decode/larc.h"

#include <cstring>

void Lz5Codec::fillInitialWindow(uint8_t* window) {
  // LArc and LHA for DOS hold zeros before the pattern, not the spaces of the other methods:
  // a match that copies these bytes must give what the archiver saw.
  std::memset(window, 0, 18);
  uint8_t* p = window + 18;
  for (int k = 0; k < 256; ++k, p += 13) std::memset(p, k, 13);
  for (int k = 0; k < 256; ++k) *p++ = static_cast<uint8_t>(k);
  for (int k = 255; k >= 0; --k) *p++ = static_cast<uint8_t>(k);
  std::memset(p, 0, 128);
  p += 128;
  std::memset(p, 0x20, 110);
  static_assert(18 + 13 * 256 + 256 + 256 + 128 + 110 == 4096);
}
