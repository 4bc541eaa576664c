// The boundary between the decoder frame (stored copy, CRC, progress) and the decoders of
// the compressing methods 1 to 9: core's files adapted to what the decoders read and write.
#pragma once

#include <cstdint>

#include "core/file_object.h"
#include "decode/byte_source.h"
#include "decode/frame.h"

// The archive file as the decoders' byte source.
class ArchiveSource : public ByteSource {
 public:
  explicit ArchiveSource(FileObject& file) : file_(file) {}
  int64_t read(uint8_t* buffer, size_t count) override;

 private:
  FileObject& file_;
};

struct CompressedMemberJob {
  FileObject* input;   // the archive, positioned on the member's packed data
  FileObject* output;  // the member's output file
  uint64_t originalSize;
  uint64_t packedSize;
  int methodNumber;  // 1 to 9
};

// Decodes a member of methods 1 to 9: writes originalSize bytes (folded into the CRC as they
// are flushed), calling reportProgress and polling g_runFlag as it goes.
DecodeResult decodeCompressed(const CompressedMemberJob& job);
