// Decoding one member of the compressing methods 1 to 9 from packed bytes to output blocks.
// The file-level entry (decodeCompressed) wraps this; tests, fuzz targets and benchmarks
// call it directly on memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decode/bit_input.h"
#include "decode/frame.h"

// Receives the decoded bytes in blocks, in order. The decoder folds the same blocks into the
// CRC-16 itself.
class DecodeSink {
 public:
  virtual ~DecodeSink() = default;
  // False when writing failed; systemError() then tells why.
  virtual bool write(const uint8_t* bytes, size_t count) = 0;
  virtual uint32_t systemError() const { return 0; }
  // Called between blocks with the bytes produced so far; false stops the member (aborted)
  // without writing what is still buffered.
  virtual bool keepGoing(uint64_t /*produced*/) { return true; }
};

// The window size of a compressing method as a power of two, or 0 for other numbers.
unsigned dictionaryBitsOf(int methodNumber);

// Decodes originalSize bytes of method methodNumber (1 to 9) from input. status is damaged
// when the packed data cannot be valid (a code that cannot be decoded, or a match running
// past the original size) or could not be read in full.
DecodeResult decodeMethod(int methodNumber, PackedInput& input, uint64_t originalSize, DecodeSink& sink);
