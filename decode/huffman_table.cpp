#include "decode/huffman_table.h"

#include <algorithm>
#include <array>

namespace huffman {

namespace {

void fill(uint32_t* first, uint32_t count, uint32_t entry) { std::fill(first, first + count, entry); }

}  // namespace

bool buildTable(uint32_t* table, unsigned mainBits, const uint8_t* lengths, unsigned symbolCount) {
  if (symbolCount > kMaxSymbols) return false;
  std::array<uint32_t, kMaxCodeLength + 1> count{};
  for (unsigned s = 0; s < symbolCount; ++s) {
    if (lengths[s] > kMaxCodeLength) return false;
    ++count[lengths[s]];
  }
  // Code space used, in units of one 16-bit code: 65536 is a complete code; more cannot be
  // decoded unambiguously.
  uint32_t space = 0;
  unsigned maxLength = 0;
  for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
    space += count[len] << (kMaxCodeLength - len);
    if (count[len] != 0) maxLength = len;
  }
  if (space > (1u << kMaxCodeLength)) return false;

  // A complete code covers every entry; only an incomplete one leaves entries to mark.
  const bool complete = space == (1u << kMaxCodeLength);
  if (!complete) fill(table, 1u << mainBits, kInvalidFlag);
  if (space == 0) return true;

  // Symbols sorted by code length, then by symbol: the order in which codes are assigned.
  std::array<uint32_t, kMaxCodeLength + 2> offset{};
  for (unsigned len = 1; len <= kMaxCodeLength; ++len) offset[len + 1] = offset[len] + count[len];
  std::array<uint16_t, kMaxSymbols> sorted;
  for (unsigned s = 0; s < symbolCount; ++s)
    if (lengths[s] != 0) sorted[offset[lengths[s]]++] = static_cast<uint16_t>(s);

  const unsigned subBits = maxLength > mainBits ? maxLength - mainBits : 0;
  uint32_t nextSubtable = 1u << mainBits;
  uint32_t code = 0;  // the next code, left-aligned to 16 bits
  uint32_t lastPrefix = ~0u;
  const uint32_t used = offset[kMaxCodeLength];
  for (uint32_t k = 0; k < used; ++k) {
    const unsigned s = sorted[k];
    const unsigned len = lengths[s];
    if (len <= mainBits) {
      fill(table + (code >> (kMaxCodeLength - mainBits)), 1u << (mainBits - len), makeEntry(s, len));
    } else {
      const uint32_t prefix = code >> (kMaxCodeLength - mainBits);
      uint32_t& link = table[prefix];
      // Codes come in ascending order, so a prefix's first long code opens its subtable and
      // every later code with that prefix follows at once. (The entry itself may still hold
      // the previous block's contents.)
      if (prefix != lastPrefix) {
        lastPrefix = prefix;
        if (!complete) fill(table + nextSubtable, 1u << subBits, kInvalidFlag);
        link = kLinkFlag | nextSubtable | (mainBits << 16) | (subBits << 24);
        nextSubtable += 1u << subBits;
      }
      const uint32_t index = (code >> (kMaxCodeLength - maxLength)) & ((1u << subBits) - 1);
      fill(table + entrySymbol(link) + index, 1u << (maxLength - len), makeEntry(s, len - mainBits));
    }
    code += 1u << (kMaxCodeLength - len);
  }
  return true;
}

void fillSingleSymbol(uint32_t* table, unsigned mainBits, uint32_t symbol, unsigned symbolCount) {
  fill(table, 1u << mainBits, symbol < symbolCount ? makeEntry(symbol, 0) : kInvalidFlag);
}

}  // namespace huffman
