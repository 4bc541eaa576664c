#include "pack/block_writer.h"

#include <algorithm>

#include "pack/huffman_code.h"

namespace lzhpack {

namespace {

// Counts what a BitWriter would write.
struct BitCounter {
  uint64_t bits = 0;
  void put(int count, uint32_t) { bits += count; }
};

// The symbol code lengths are sent as codes of a 19-symbol alphabet: 0 is one zero length,
// 1 a run of 3-18 zeros (4 more bits), 2 a run of 20-531 zeros (9 more bits), and 3-18 the
// lengths 1-16. Calls emit(code, extra bit count, extra bits) for each code in order.
template <typename Emit>
void forEachLengthCode(const uint8_t* lengths, int count, Emit emit) {
  int i = 0;
  while (i < count) {
    const int len = lengths[i++];
    if (len != 0) {
      emit(len + 2, 0, 0);
      continue;
    }
    int run = 1;
    while (i < count && lengths[i] == 0) {
      ++i;
      ++run;
    }
    if (run <= 2) {
      for (int k = 0; k < run; ++k) emit(0, 0, 0);
    } else if (run <= 18) {
      emit(1, 4, run - 3);
    } else if (run == 19) {  // no single code covers 19: one zero, then a run of 18
      emit(0, 0, 0);
      emit(1, 4, 15);
    } else {
      emit(2, 9, run - 20);
    }
  }
}

int trimmedCount(const uint8_t* lengths, int count) {
  while (count > 0 && lengths[count - 1] == 0) --count;
  return count;
}

// A small code length: 0-6 in 3 bits, 7 and above as 111 followed by (length - 7) ones and a
// zero. When zeroRunAfter entries have been sent, a 2-bit field says how many of the next
// three lengths are zero (used by the 19-symbol code, whose entries 3-5 are often unused).
template <typename Sink>
void writeSmallLengths(Sink& out, const uint8_t* lengths, int alphabet, int countBits, int zeroRunAfter) {
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
  uint8_t lengths[kMaxAlphabet];
  uint16_t codes[kMaxAlphabet];  // only when built with codes
  int used = 0;
  int constant = 0;  // the one symbol when used <= 1

  void build(const uint32_t* frequencies, int alphabet, bool withCodes) {
    used = buildCodeLengths(frequencies, alphabet, kMaxCodeBits, lengths);
    if (used <= 1) {
      constant = 0;
      for (int s = 0; s < alphabet; ++s)
        if (frequencies[s] != 0) constant = s;
      return;
    }
    if (withCodes) assignCanonicalCodes(lengths, alphabet, codes);
  }
  bool isConstant() const { return used <= 1; }
  template <typename Sink>
  void write(Sink& out, int symbol) const { out.put(lengths[symbol], codes[symbol]); }
};

// The three codes of a block. Without codes only the lengths are built, which is all a
// cost estimate needs.
struct BlockCodes {
  BlockCode symbols;
  BlockCode lengthCodes;
  BlockCode positions;
  int symbolLengthCount = 0;  // symbol lengths sent: up to the last non-zero one

  BlockCodes(const BlockHistogram& histogram, const MethodShape& shape, bool withCodes) {
    symbols.build(histogram.symbols, kSymbolAlphabet, withCodes);
    positions.build(histogram.positions, shape.positionSymbols, withCodes);
    if (!symbols.isConstant()) {
      symbolLengthCount = trimmedCount(symbols.lengths, kSymbolAlphabet);
      uint32_t frequencies[kLengthCodeAlphabet] = {};
      forEachLengthCode(symbols.lengths, symbolLengthCount, [&](int code, int, int) { frequencies[code]++; });
      lengthCodes.build(frequencies, kLengthCodeAlphabet, withCodes);
    } else {
      std::fill_n(lengthCodes.lengths, kLengthCodeAlphabet, 0);  // not sent
    }
  }

  template <typename Sink>
  void writeHeader(Sink& out, uint32_t blockSymbols, const MethodShape& shape) const {
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
      out.put(9, symbolLengthCount);
      forEachLengthCode(symbols.lengths, symbolLengthCount, [&](int code, int extraBits, int extra) {
        lengthCodes.write(out, code);
        out.put(extraBits, extra);
      });
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
  const BlockCodes codes(histogram, shape, false);
  BitCounter counter;
  codes.writeHeader(counter, histogram.count, shape);
  uint64_t bits = counter.bits;
  for (int s = 0; s < kSymbolAlphabet; ++s) bits += uint64_t(histogram.symbols[s]) * codes.symbols.lengths[s];
  for (int s = 0; s < shape.positionSymbols; ++s)
    bits += uint64_t(histogram.positions[s]) * codes.positions.lengths[s];
  return bits;
}

void writeBlock(BitWriter& out, const uint32_t* tokens, size_t count, const MethodShape& shape,
                std::vector<BlockRecord>* trace) {
  BlockHistogram histogram;
  for (size_t i = 0; i < count; ++i) histogram.add(tokens[i]);
  const BlockCodes codes(histogram, shape, true);
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
