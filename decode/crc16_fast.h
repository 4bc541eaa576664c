// CRC-16/ARC (reflected polynomial 0xA001, initial value 0, no final inversion) sixteen bytes at
// a time ("slicing by 16"). The decoders fold whole flushed blocks into the CRC, where the
// one-lookup-per-byte loop would cost about as much as decoding -lh5- itself.
#pragma once

#include <cstddef>
#include <cstdint>

uint16_t crc16Blocks(uint16_t crc, const uint8_t* bytes, size_t count);
