#include "support/bit_writer.h"

#include <algorithm>
#include <stdexcept>

BitWriter& BitWriter::bits(uint32_t value, unsigned count) {
  for (unsigned i = count; i-- > 0;) {
    if (bitCount_ % 8 == 0) bytes_.push_back(0);
    if ((value >> i) & 1) bytes_.back() |= static_cast<uint8_t>(0x80 >> (bitCount_ % 8));
    ++bitCount_;
  }
  return *this;
}

std::vector<uint8_t> BitWriter::bytes() const { return bytes_; }

std::vector<uint32_t> canonicalCodes(const std::vector<uint8_t>& lengths) {
  std::vector<uint32_t> codes(lengths.size(), 0);
  uint32_t code = 0;
  for (unsigned len = 1; len <= 16; ++len) {
    for (size_t s = 0; s < lengths.size(); ++s) {
      if (lengths[s] == len) codes[s] = code++;
    }
    code <<= 1;
  }
  return codes;
}

void StaticBlockWriter::smallLength(unsigned length) {
  if (length < 7) {
    out.bits(length, 3);
  } else {
    out.bits(7, 3);
    for (unsigned i = 7; i < length; ++i) out.bit(true);
    out.bit(false);
  }
}

void StaticBlockWriter::header(uint16_t blockSize, const std::vector<uint8_t>& symbols,
                               const std::vector<uint8_t>& positions) {
  out.bits(blockSize, 16);
  // Code-length code: 19 symbols of 5 bits; no zero run after the third.
  out.bits(19, 5);
  for (int i = 0; i < 19; ++i) {
    smallLength(5);
    if (i == 2) out.bits(0, 2);
  }
  // Symbol lengths, zeros as runs.
  size_t count = symbols.size();
  while (count > 0 && symbols[count - 1] == 0) --count;
  out.bits(static_cast<uint32_t>(count), 9);
  for (size_t i = 0; i < count;) {
    if (symbols[i] != 0) {
      out.bits(symbols[i] + 2u, 5);
      ++i;
      continue;
    }
    size_t run = 0;
    while (i + run < count && symbols[i + run] == 0) ++run;
    i += run;
    while (run > 0) {
      if (run >= 20) {
        const size_t n = std::min<size_t>(run, 531);
        out.bits(2, 5).bits(static_cast<uint32_t>(n - 20), 9);
        run -= n;
      } else if (run >= 3) {
        const size_t n = std::min<size_t>(run, 18);
        out.bits(1, 5).bits(static_cast<uint32_t>(n - 3), 4);
        run -= n;
      } else {
        out.bits(0, 5);
        --run;
      }
    }
  }
  out.bits(static_cast<uint32_t>(positions.size()), positionCountBits);
  for (uint8_t len : positions) smallLength(len);

  symbolLengths = symbols;
  symbolCodes = canonicalCodes(symbols);
  positionLengths = positions;
  positionCodes = canonicalCodes(positions);
}

void StaticBlockWriter::literal(uint8_t byte) {
  if (symbolLengths.at(byte) == 0) throw std::logic_error("literal without a code");
  out.bits(symbolCodes[byte], symbolLengths[byte]);
}

void StaticBlockWriter::match(unsigned length, unsigned position) {
  const unsigned symbol = length + 253;
  if (symbolLengths.at(symbol) == 0) throw std::logic_error("length without a code");
  out.bits(symbolCodes[symbol], symbolLengths[symbol]);
  unsigned j = 0;
  while ((position >> j) != 0) ++j;  // position symbol: the bit width of the position
  if (positionLengths.at(j) == 0) throw std::logic_error("position without a code");
  out.bits(positionCodes[j], positionLengths[j]);
  if (j > 1) out.bits(position - (1u << (j - 1)), j - 1);
}
