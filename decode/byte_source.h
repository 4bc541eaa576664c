// Where the packed bytes of a member come from when they are not all in memory: in the
// extraction run the archive file (the frame adapts core's file object to this), in tests
// anything that counts out bytes.
#pragma once

#include <cstddef>
#include <cstdint>

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to count bytes into buffer: the number read, 0 at the end, -1 when it fails.
  virtual int64_t read(uint8_t* buffer, size_t count) = 0;
};
