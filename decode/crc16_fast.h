// CRC-16/ARC (reflected polynomial 0xA001, initial value 0, no final inversion) over whole
// blocks: by carry-less multiplication where the CPU has it (about 5.7 GB/s here), else eight
// bytes per step. The decoders fold each flushed block into the CRC at once; one table lookup
// per byte would cost about a fifth of the -lh5- decoding time.
#pragma once

#include <cstddef>
#include <cstdint>

uint16_t crc16Blocks(uint16_t crc, const uint8_t* bytes, size_t count);
