// CRC-16/ARC (reflected polynomial 0xA001, initial value 0, no final inversion): the checksum
// of a member's original bytes and of a level-2 header. One implementation for the decoders,
// the stored copy, the archive writer and the stub: by carry-less multiplication where the
// CPU has it, else eight bytes per step through tables built when the program starts (4 KB of
// zero-initialised data, so no bytes in the stub's file).
#pragma once

#include <cstddef>
#include <cstdint>

// Folds count bytes into crc and returns the new value; any count, from one byte to a block.
// Usable from the start of main: a static initialiser has built the tables by then.
uint16_t crc16Update(uint16_t crc, const uint8_t* bytes, size_t count);
