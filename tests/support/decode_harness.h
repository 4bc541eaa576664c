// Test-only: runs a decoder over packed bytes in memory and collects what it writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "decode/decode_status.h"

struct DecodedMember {
  DecodeStatus status = DecodeStatus::ok;
  uint16_t crc = 0;
  std::vector<uint8_t> bytes;
};

// method is the method number (1 to 9).
DecodedMember decodeInMemory(int method, const std::vector<uint8_t>& packed, uint32_t originalSize);

std::string bytesAsText(const std::vector<uint8_t>& bytes);
