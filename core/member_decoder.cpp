#include "core/member_decoder.h"

#include "platform/platform.h"

int64_t ArchiveSource::read(uint8_t* buffer, size_t count) {
  // FileObject::read takes 32-bit counts; a larger request is served in pieces.
  const uint32_t piece = static_cast<uint32_t>(count < (size_t{1} << 30) ? count : size_t{1} << 30);
  return file_.read(piece, buffer);
}

bool MemberOutput::write(const uint8_t* bytes, size_t count) {
  if (file_.write(bytes, static_cast<uint32_t>(count))) return true;
  error_ = platform::lastError();
  return false;
}

DecodeResult decodeMember(ExtractionRun& run, FileObject& archive, FileObject& output, uint64_t originalSize,
                          uint64_t packedSize, int methodNumber) {
  ArchiveSource source(archive);
  MemberOutput sink(run, output);
  return decodeFromSource(methodNumber, source, packedSize, originalSize, sink, platform::availablePhysicalMemory());
}
