// Independent checksums for tests: SHA-256 and a bitwise CRC-16/ARC that shares no code with
// the engine's table-driven one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

std::string sha256Hex(const uint8_t* data, size_t size);
std::string sha256Hex(const std::vector<uint8_t>& data);
uint16_t crc16ArcBitwise(const uint8_t* data, size_t size);
