// Decoding one member from packed bytes to output blocks. The extraction run reaches it
// through decodeFromSource with the archive file as the source; tests, fuzz targets and
// benchmarks call decodeMethod directly on memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decode/bit_input.h"
#include "decode/byte_source.h"
#include "decode/decode_status.h"
#include "decode/method_list.h"

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

// Decodes originalSize bytes of method methodNumber (1 to 9) from input. status is damaged
// when the packed data cannot be valid (a code that cannot be decoded, or a match running
// past the original size) or could not be read in full.
DecodeResult decodeMethod(int methodNumber, PackedInput& input, uint64_t originalSize, DecodeSink& sink);

// One member of any method but the directory entry from the packedSize bytes that source
// delivers: the stored methods are copied; the others go through decodeMethod, their packed
// data read into memory first (in one piece when memory allows, else through a smaller
// buffer refilled as decoding goes). availableMemory is the physical memory free for it, 0
// when unknown.
DecodeResult decodeFromSource(int methodNumber, ByteSource& source, uint64_t packedSize, uint64_t originalSize,
                              DecodeSink& sink, uint64_t availableMemory);
