// The two LZSS methods of the LArc format that LZH archives carry. Neither uses Huffman
// codes; a match names an absolute window position, turned here into the distance the
// decode loop expects.
//
// -lzs-: 2048-byte window. A 1 bit and eight bits are a literal; a 0 bit, an 11-bit window
//        position and a 4-bit length field are a match of 2 to 17 bytes.
// -lz5-: 4096-byte window that starts with a fixed pattern. A flag byte governs the next
//        eight items, least significant bit first: 1 is a literal byte, 0 a two-byte match
//        (position low byte; then position bits 8-11 in the high nibble and the length minus
//        3 in the low nibble).
#pragma once

#include <cstdint>

#include "decode/bit_input.h"

class LzsCodec {
 public:
  static constexpr uint32_t kLengthBias = 254;
  static constexpr uint32_t kMaxMatch = 17;

  uint32_t nextSymbol(BitInput& in) {
    in.ensureBits();
    if (in.take(1) != 0) return in.take(8);
    matchPosition_ = in.take(11);
    return in.take(4) + 256;
  }
  // The window position is 17 behind the encoder's write position: (position + 17) mod 2048
  // is the source, and the loop copies from write position - result - 1.
  uint32_t nextPosition(BitInput&, uint32_t decodedCount) {
    return (decodedCount - matchPosition_ - 18) & 0x7FF;
  }

 private:
  uint32_t matchPosition_ = 0;
};

class Lz5Codec {
 public:
  static constexpr uint32_t kLengthBias = 253;
  static constexpr uint32_t kMaxMatch = 18;

  // The window contents before the first byte: offsets 0-17 zeros, then thirteen copies of
  // each byte value, the bytes 0-255 ascending and descending, 128 zeros and 110 spaces.
  static void fillInitialWindow(uint8_t* window /* 4096 bytes */);

  uint32_t nextSymbol(BitInput& in) {
    in.ensureBits();
    if (flagCount_ == 0) {
      flagBits_ = in.take(8);
      flagCount_ = 8;
    }
    --flagCount_;
    uint32_t c = in.take(8);
    if ((flagBits_ & 1) == 0) {
      const uint32_t d = in.take(8);
      matchPosition_ = c + (d & 0xF0) * 16;
      c = (d & 0x0F) + 256;
    }
    flagBits_ >>= 1;
    return c;
  }
  uint32_t nextPosition(BitInput&, uint32_t decodedCount) {
    return (decodedCount - matchPosition_ - 19) & 0xFFF;
  }

 private:
  uint32_t matchPosition_ = 0;
  uint32_t flagBits_ = 0;
  unsigned flagCount_ = 0;
};
