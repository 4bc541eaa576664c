// The member-level frame around the decoders: one member's packed data from the archive
// file into its output file, with the run's progress bar and abort button.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/extraction_run.h"
#include "core/file_object.h"
#include "decode/byte_source.h"
#include "decode/decode_status.h"
#include "decode/lz_decoder.h"

// The archive file as the decoders' byte source.
class ArchiveSource final : public ByteSource {
 public:
  explicit ArchiveSource(FileObject& file) : file_(file) {}
  int64_t read(uint8_t* buffer, size_t count) override;

 private:
  FileObject& file_;
};

// The decoders' output: the member's file, the run's progress and its abort flag.
class MemberOutput final : public DecodeSink {
 public:
  MemberOutput(ExtractionRun& run, FileObject& file) : run_(run), file_(file) {}
  bool write(const uint8_t* bytes, size_t count) override;
  uint32_t systemError() const override { return error_; }
  bool keepGoing(uint64_t produced) override {
    run_.progress(produced);
    return run_.keepGoing();
  }

 private:
  ExtractionRun& run_;
  FileObject& file_;
  uint32_t error_ = 0;
};

// Decodes one member of method methodNumber (any but the directory entry) from archive,
// positioned on its packed data, into output: originalSize bytes, folded into the CRC as
// they are written, while the run reports progress and is polled for an abort.
DecodeResult decodeMember(ExtractionRun& run, FileObject& archive, FileObject& output, uint64_t originalSize,
                          uint64_t packedSize, int methodNumber);
