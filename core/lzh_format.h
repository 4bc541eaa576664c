// The numbers of the self-extracting file's formats, shared by the header reader, the
// archive writer and the reader of the stub's PE headers: the little-endian readers (every
// number of an LZH header, the settings block and a PE header is stored least significant
// byte first) and the LZH header constants.
#pragma once

#include <cstdint>

inline uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t le64(const uint8_t* p) { return le32(p) | (static_cast<uint64_t>(le32(p + 4)) << 32); }

// One header, base header plus every extended header, must fit a buffer of this size: the
// reader holds it whole, and the writer refuses to write a larger one.
inline constexpr uint32_t HEADER_BUFFER_SIZE = 4096;

namespace lzh {

// Header levels: the byte at offset 20 of every base header.
inline constexpr uint8_t LEVEL_0 = 0;  // name in the base header, no extended headers
inline constexpr uint8_t LEVEL_1 = 1;  // name in the base header, extended headers after it
inline constexpr uint8_t LEVEL_2 = 2;  // 16-bit total length, extended headers inside it
inline constexpr uint8_t LEVEL_3 = 3;  // 32-bit total length at offset 24, 32-bit extended lengths

// Offsets in the base header, the same for every level.
inline constexpr uint32_t OFFSET_METHOD = 2;
inline constexpr uint32_t OFFSET_PACKED_SIZE = 7;
inline constexpr uint32_t OFFSET_ORIGINAL_SIZE = 11;
inline constexpr uint32_t OFFSET_TIME = 15;
inline constexpr uint32_t OFFSET_ATTRIBUTE = 19;
inline constexpr uint32_t OFFSET_LEVEL = 20;
// Levels 0 and 1: the name length N, the name, then the CRC-16 and the OS id as room allows.
inline constexpr uint32_t OFFSET_NAME_LENGTH = 21;
inline constexpr uint32_t OFFSET_NAME = 22;
// Levels 2 and 3: the CRC-16 and the OS id at fixed places.
inline constexpr uint32_t OFFSET_WHOLE_LENGTH_CRC = 21;
inline constexpr uint32_t OFFSET_WHOLE_LENGTH_OS = 23;

// Extended-header types. S, the length in front of each, counts its type byte, its data and
// the length field of the next one (0 ends the chain).
inline constexpr uint8_t EXT_COMMON = 0x00;             // CRC-16 of the whole header
inline constexpr uint8_t EXT_FILE_NAME = 0x01;          // ANSI code page
inline constexpr uint8_t EXT_DIRECTORY = 0x02;          // ANSI, parts separated and ended by 0xFF
inline constexpr uint8_t EXT_MSDOS_ATTRIBUTE = 0x40;    // 2 bytes, low byte the attribute
inline constexpr uint8_t EXT_WINDOWS_TIMES = 0x41;      // creation, modification, access FILETIMEs
inline constexpr uint8_t EXT_SIZES_64 = 0x42;           // 64-bit packed, then original size
inline constexpr uint32_t EXT_SIZES_64_DATA = 16;
inline constexpr uint8_t EXT_UNICODE_NAME = 0x44;       // UTF-16LE
inline constexpr uint8_t EXT_UNICODE_DIRECTORY = 0x45;  // UTF-16LE, separators "/", "\" or 0xFFFF
inline constexpr uint8_t EXT_CODE_PAGE = 0x46;
inline constexpr uint32_t EXT_MINIMUM_SIZE = 3;         // type byte + next length field

// OS identifiers (the byte naming the system that made the member).
inline constexpr uint8_t OS_NONE = 0;      // level 0 headers and short level-1 ones carry none
inline constexpr uint8_t OS_MSDOS = 'M';   // 0x4D
inline constexpr uint8_t OS_HUMAN68K = 'H';  // 0x48, MS-DOS attributes too
inline constexpr uint8_t OS_UNIX = 'U';

// MS-DOS attribute bits that the writer sets.
inline constexpr uint8_t ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr uint8_t ATTRIBUTE_ARCHIVE = 0x20;

}  // namespace lzh
