// The LZH methods, one table for the decoders, the encoder and the archive writer. A member's
// method number is the position of its header's 5-byte identifier in this list.
//
// The table keeps the three letters between the identifier's dashes ("lh5" for "-lh5-"):
// a program that holds whole identifiers looks like an archive to the tools that look for
// one inside a self-extracting file (lhasa takes the stub's own table for a member header
// and finds nothing behind it).
#pragma once

#include <cstdint>

struct LzhMethod {
  char letters[4];
  // The sliding window of the compressing methods is 2^dictionaryBits bytes; 0 for the
  // stored methods and the directory entry.
  uint8_t dictionaryBits;
};

inline constexpr int METHOD_COUNT = 12;
inline constexpr LzhMethod METHODS[METHOD_COUNT] = {
    {"lh0", 0},  {"lh1", 12}, {"lh2", 13}, {"lh3", 13}, {"lh4", 12}, {"lh5", 13},
    {"lh6", 15}, {"lh7", 16}, {"lzs", 11}, {"lz5", 12}, {"lz4", 0},  {"lhd", 0}};

// The 5-byte identifier of a method as headers hold it, NUL-terminated.
struct MethodId {
  char text[6];
};
constexpr MethodId methodIdOf(int methodNumber) {
  const char* letters = METHODS[methodNumber].letters;
  return {{'-', letters[0], letters[1], letters[2], '-', 0}};
}
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
constexpr bool isStoredMethod(int methodNumber) { return methodNumber == METHOD_LH0 || methodNumber == METHOD_LZ4; }

// The window size of a method as a power of two, or 0 for numbers outside the table.
constexpr unsigned dictionaryBitsOf(int methodNumber) {
  return methodNumber >= 0 && methodNumber < METHOD_COUNT ? METHODS[methodNumber].dictionaryBits : 0;
}

// The position code of the static-Huffman methods (-lh4- to -lh7-) covers distances up to
// the window size: 14 symbols up to a 16 KiB window, one per window bit above that, and its
// count field is wide enough for the alphabet.
constexpr unsigned staticPositionSymbols(unsigned dictionaryBits) {
  return dictionaryBits <= 14 ? 14 : dictionaryBits + 1;
}
constexpr unsigned staticPositionCountBits(unsigned dictionaryBits) { return dictionaryBits <= 14 ? 4 : 5; }

// The method number of a 5-byte identifier, or -1 when it is not in the list.
int findMethodNumber(const uint8_t id[5]);
