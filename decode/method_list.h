// The LZH methods the decoder knows. A member's method number is the position of its
// header's 5-byte identifier in this list; the comparison covers exactly 5 bytes.
#pragma once

#include <cstdint>

inline constexpr int METHOD_COUNT = 12;
inline constexpr char METHOD_IDS[METHOD_COUNT][6] = {
    "-lh0-", "-lh1-", "-lh2-", "-lh3-", "-lh4-", "-lh5-",
    "-lh6-", "-lh7-", "-lzs-", "-lz5-", "-lz4-", "-lhd-"};
inline constexpr int METHOD_LH0 = 0;  // stored
inline constexpr int METHOD_LH1 = 1;
inline constexpr int METHOD_LH2 = 2;
inline constexpr int METHOD_LH3 = 3;
inline constexpr int METHOD_LH4 = 4;
inline constexpr int METHOD_LH5 = 5;
inline constexpr int METHOD_LH6 = 6;
inline constexpr int METHOD_LH7 = 7;
inline constexpr int METHOD_LZS = 8;
inline constexpr int METHOD_LZ5 = 9;
inline constexpr int METHOD_LZ4 = 10;        // stored
inline constexpr int METHOD_DIRECTORY = 11;  // -lhd-: a folder, never decoded

// The compressing methods, which go through a decoder.
constexpr bool isCompressedMethod(int methodNumber) {
  return methodNumber >= METHOD_LH1 && methodNumber <= METHOD_LZ5;
}

// The method number of a 5-byte identifier, or -1 when it is not in the list.
int findMethodNumber(const uint8_t id[5]);
