// Length-limited Huffman codes in the canonical order the LZH decoders rebuild them:
// shorter codes first, and within one length in symbol order.
#pragma once

#include <cstdint>

namespace lzhpack {

inline constexpr int kMaxCodeBits = 16;
inline constexpr int kMaxAlphabet = 510;

// Fills lengths[0..n) with code lengths of at most maxBits for the frequencies, forming a
// complete code. Symbols of frequency 0 get length 0. Returns the number of symbols used;
// when it is 0 or 1 every length is 0 (the block format sends such an alphabet as one
// constant symbol instead of a code).
int buildCodeLengths(const uint32_t* frequencies, int n, int maxBits, uint8_t* lengths);

// Canonical codes for the lengths (codes[s] is meaningful only where lengths[s] > 0).
void assignCanonicalCodes(const uint8_t* lengths, int n, uint16_t* codes);

}  // namespace lzhpack
