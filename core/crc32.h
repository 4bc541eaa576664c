// CRC-32 (the one of zip and PNG: reflected polynomial 0xEDB88320, initial value and final
// inversion 0xFFFFFFFF): the checksum of a self-extracting file's settings block and
// archive, in the trailer that zsfx make writes.
#pragma once

#include <cstddef>
#include <cstdint>

// Folds count bytes into crc (0 to start) and returns the new value; calls chain like one.
uint32_t crc32Update(uint32_t crc, const uint8_t* bytes, size_t count);
