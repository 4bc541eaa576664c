// Canonical Huffman decode tables for the static-Huffman methods (-lh3- to -lh7-).
//
// A code set arrives as one length per symbol (0 = unused, 1 to 16 bits). Codes are assigned
// in canonical order: shorter codes first, and within one length by ascending symbol, each
// code read most significant bit first.
//
// The table is indexed by the next kMainBits bits of the stream. Codes up to kMainBits bits
// are resolved by one lookup; a longer code's entry points to a subtable indexed by the bits
// that follow, so decoding never walks more than two levels.
//
// Entry layout (32 bits):
//   bits  0-15  symbol, or for a subtable link the index of the subtable's first entry
//   bits 16-20  bits to consume (the code length; for a link, kMainBits; in a subtable, the
//               length minus kMainBits)
//   bits 24-28  for a link: the subtable's index width
//   bit  30     link to a subtable
//   bit  31     no code of the set starts with these bits: damaged data if decoded
#pragma once

#include <cstdint>

#include "decode/bit_input.h"
#include "decode/decode_status.h"

namespace huffman {

inline constexpr unsigned kMaxCodeLength = 16;
inline constexpr unsigned kMaxSymbols = 512;  // the largest alphabet is 510 symbols
inline constexpr uint32_t kLinkFlag = 1u << 30;
inline constexpr uint32_t kInvalidFlag = 1u << 31;
inline constexpr uint32_t kSlowFlags = kLinkFlag | kInvalidFlag;

inline constexpr uint32_t makeEntry(uint32_t symbol, uint32_t length) {
  return symbol | (length << 16);
}
inline constexpr uint32_t entrySymbol(uint32_t e) { return e & 0xFFFF; }
inline constexpr unsigned entryLength(uint32_t e) { return (e >> 16) & 0x1F; }

// Fills table (mainBits index bits followed by subtables) for the given lengths. Returns
// false for a set that cannot be a prefix code: a length above 16 or more codes than the
// code space holds. An incomplete set is accepted; its unused bit patterns become invalid
// entries. A set with no codes at all makes every entry invalid.
bool buildTable(uint32_t* table, unsigned mainBits, const uint8_t* lengths, unsigned symbolCount);

// Every entry decodes to symbol without consuming bits (a block that uses one symbol only);
// a symbol outside the alphabet makes every entry invalid instead.
void fillSingleSymbol(uint32_t* table, unsigned mainBits, uint32_t symbol, unsigned symbolCount);

// Entries needed for a table of mainBits index bits over symbolCount symbols: a subtable has
// at most 2^(16 - mainBits) entries, and each one belongs to a distinct main index and to at
// least one symbol with a longer code.
constexpr unsigned tableSize(unsigned mainBits, unsigned symbolCount) {
  const unsigned subtables = symbolCount < (1u << mainBits) ? symbolCount : (1u << mainBits);
  return (1u << mainBits) + subtables * (1u << (kMaxCodeLength - mainBits));
}
// Subtable links keep their first index in the 16-bit symbol field.
constexpr bool linksFit(unsigned mainBits, unsigned symbolCount) {
  return tableSize(mainBits, symbolCount) <= 0x10000;
}

// Decodes one symbol; needs 16 bits available. Returns kDamagedValue for an invalid code.
// Bits is BitInput or its register copy BitInput::State. Always inlined, as built for size
// GCC would otherwise call it from the hot loops (some 15 % of the -lh5-/-lh7- decoding time).
template <unsigned kMainBits, class Bits>
[[gnu::always_inline]] inline uint32_t decodeSymbol(const uint32_t* table, Bits& in) {
  uint32_t e = table[in.peek(kMainBits)];
  if (e & kSlowFlags) [[unlikely]] {
    if (e & kInvalidFlag) return kDamagedValue;
    in.skip(kMainBits);
    const unsigned subBits = (e >> 24) & 0x1F;
    e = table[entrySymbol(e) + in.peek(subBits)];
    if (e & kInvalidFlag) return kDamagedValue;
  }
  in.skip(entryLength(e));
  return entrySymbol(e);
}

}  // namespace huffman
