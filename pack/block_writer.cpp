#include "pack/block_writer.h"

#include <algorithm>
#include <vector>

#include "pack/huffman_code.h"

namespace lzhpack {

namespace {

// The symbol code lengths are sent as codes of a 19-symbol alphabet: 0 is one zero length,
// 1 a run of 3-18 zeros (4 more bits), 2 a run of 20-531 zeros (9 more bits), and 3-18 the
// lengths 1-16.
struct LengthCodeItem {
  uint8_t symbol;
  uint8_t extraBits;
  uint16_t extraValue;
};

std::vector<LengthCodeItem> symbolLengthItems(const uint8_t* lengths, int count) {
  std::vector<LengthCodeItem> items;
  int i = 0;
  while (i < count) {
    int len = lengths[i++];
    if (len != 0) {
      items.push_back({static_cast<uint8_t>(len + 2), 0, 0});
      continue;
    }
    int run = 1;
    while (i < count && lengths[i] == 0) {
      ++i;
      ++run;
    }
    if (run <= 2) {
      for (int k = 0; k < run; ++k) items.push_back({0, 0, 0});
    } else if (run <= 18) {
      items.push_back({1, 4, static_cast<uint16_t>(run - 3)});
    } else if (run == 19) {  // no single code covers 19: one zero, then a run of 18
      items.push_back({0, 0, 0});
      items.push_back({1, 4, 15});
    } else {
      items.push_back({2, 9, static_cast<uint16_t>(run - 20)});
    }
  }
  return items;
}

int trimmedCount(const uint8_t* lengths, int count) {
  while (count > 0 && lengths[count - 1] == 0) --count;
  return count;
}

// A small code length: 0-6 in 3 bits, 7 and above as 111 followed by (length - 7) ones and a
// zero. When zeroRunAfter entries have been sent, a 2-bit field says how many of the next
// three lengths are zero (used by the 19-symbol code, whose entries 3-5 are often unused).
void writeSmallLengths(BitWriter& out, const uint8_t* lengths, int alphabet, int countBits, int zeroRunAfter) {
  const int count = trimmedCount(lengths, alphabet);
  out.put(countBits, count);
  int i = 0;
  while (i < count) {
    int len = lengths[i++];
    if (len <= 6)
      out.put(3, len);
    else
      out.put(len - 3, (1u << (len - 3)) - 2);
    if (i == zeroRunAfter) {
      int zeros = 0;
      while (zeros < 3 && i + zeros < alphabet && lengths[i + zeros] == 0) ++zeros;
      // Entries past `count` are zero too; the decoder skips the same number.
      out.put(2, zeros);
      i += zeros;
    }
  }
}

// One Huffman code of a block, or the single-symbol form when at most one symbol is used.
struct BlockCode {
  uint8_t lengths[kMaxAlphabet] = {};
  uint16_t codes[kMaxAlphabet] = {};
  int used = 0;
  int constant = 0;  // the one symbol when used <= 1

  void build(const uint32_t* frequencies, int alphabet) {
    used = buildCodeLengths(frequencies, alphabet, kMaxCodeBits, lengths);
    if (used <= 1) {
      constant = 0;
      for (int s = 0; s < alphabet; ++s)
        if (frequencies[s] != 0) constant = s;
      return;
    }
    assignCanonicalCodes(lengths, alphabet, codes);
  }
  bool isConstant() const { return used <= 1; }
  void write(BitWriter& out, int symbol) const { out.put(lengths[symbol], codes[symbol]); }
};

struct BlockCodes {
  BlockCode symbols;
  BlockCode lengthCodes;
  BlockCode positions;
  std::vector<LengthCodeItem> lengthItems;

  BlockCodes(const BlockHistogram& histogram, const MethodShape& shape) {
    symbols.build(histogram.symbols, kSymbolAlphabet);
    positions.build(histogram.positions, shape.positionSymbols);
    if (!symbols.isConstant()) {
      lengthItems = symbolLengthItems(symbols.lengths, trimmedCount(symbols.lengths, kSymbolAlphabet));
      uint32_t frequencies[kLengthCodeAlphabet] = {};
      for (const LengthCodeItem& item : lengthItems) frequencies[item.symbol]++;
      lengthCodes.build(frequencies, kLengthCodeAlphabet);
    }
  }

  void writeHeader(BitWriter& out, uint32_t blockSymbols, const MethodShape& shape) const {
    out.put(16, blockSymbols);
    if (symbols.isConstant()) {
      // Count 0 forms: length code unused (any constant), then the one symbol.
      out.put(5, 0);
      out.put(5, 0);
      out.put(9, 0);
      out.put(9, symbols.constant);
    } else {
      if (lengthCodes.isConstant()) {
        out.put(5, 0);
        out.put(5, lengthCodes.constant);
      } else {
        writeSmallLengths(out, lengthCodes.lengths, kLengthCodeAlphabet, 5, 3);
      }
      out.put(9, trimmedCount(symbols.lengths, kSymbolAlphabet));
      for (const LengthCodeItem& item : lengthItems) {
        lengthCodes.write(out, item.symbol);
        if (item.extraBits) out.put(item.extraBits, item.extraValue);
      }
    }
    if (positions.isConstant()) {
      out.put(shape.positionCountBits, 0);
      out.put(shape.positionCountBits, positions.constant);
    } else {
      writeSmallLengths(out, positions.lengths, shape.positionSymbols, shape.positionCountBits, -1);
    }
  }
};

}  // namespace

void BlockHistogram::add(const BlockHistogram& other) {
  for (int s = 0; s < kSymbolAlphabet; ++s) symbols[s] += other.symbols[s];
  for (int s = 0; s < kMaxPositionAlphabet; ++s) positions[s] += other.positions[s];
  count += other.count;
}

uint64_t blockCostBits(const BlockHistogram& histogram, const MethodShape& shape) {
  BlockCodes codes(histogram, shape);
  std::vector<uint8_t> scratch;
  BitWriter counter(scratch);
  codes.writeHeader(counter, histogram.count, shape);
  uint64_t bits = counter.bitsWritten();
  for (int s = 0; s < kSymbolAlphabet; ++s) bits += uint64_t(histogram.symbols[s]) * codes.symbols.lengths[s];
  for (int s = 0; s < shape.positionSymbols; ++s)
    bits += uint64_t(histogram.positions[s]) * codes.positions.lengths[s];
  return bits;
}

void writeBlock(BitWriter& out, const uint32_t* tokens, size_t count, const MethodShape& shape,
                std::vector<BlockRecord>* trace) {
  BlockHistogram histogram;
  for (size_t i = 0; i < count; ++i) histogram.add(tokens[i]);
  BlockCodes codes(histogram, shape);
  if (trace) {
    BlockRecord record;
    record.symbolCount = static_cast<uint32_t>(count);
    std::copy_n(codes.lengthCodes.lengths, kLengthCodeAlphabet, record.lengthCodeLengths.begin());
    std::copy_n(codes.symbols.lengths, kSymbolAlphabet, record.symbolLengths.begin());
    std::copy_n(codes.positions.lengths, shape.positionSymbols, record.positionLengths.begin());
    // An unused length code is sent as the constant 0.
    if (codes.symbols.isConstant()) record.lengthCodeConstant = 0;
    else if (codes.lengthCodes.isConstant()) record.lengthCodeConstant = codes.lengthCodes.constant;
    if (codes.symbols.isConstant()) record.symbolConstant = codes.symbols.constant;
    if (codes.positions.isConstant()) record.positionConstant = codes.positions.constant;
    trace->push_back(record);
  }
  codes.writeHeader(out, static_cast<uint32_t>(count), shape);
  for (size_t i = 0; i < count; ++i) {
    const uint32_t symbol = tokenSymbol(tokens[i]);
    codes.symbols.write(out, symbol);
    if (symbol < 256) continue;
    const uint32_t position = tokenPosition(tokens[i]);
    const int slot = positionSymbol(position);
    codes.positions.write(out, slot);
    if (slot > 1) out.put(slot - 1, position);  // the bits below the leading 1
  }
}

}  // namespace lzhpack
