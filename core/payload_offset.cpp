// The stub's image ends where the raw data of its last section ends: the DOS header points
// (e_lfanew at 0x3C) to the PE signature, whose COFF header gives the number of sections
// and the size of the optional header; the section table follows that optional header,
// 40 bytes per section, with SizeOfRawData at +16 and PointerToRawData at +20.
#include "core/payload_offset.h"

#include "core/lzh_format.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t kDosHeaderSize = 64;
constexpr uint32_t kNewHeaderPointer = 0x3C;
constexpr uint32_t kPeHeaderSize = 24;  // "PE\0\0" + COFF file header
constexpr uint32_t kSectionEntrySize = 40;
// The Windows loader accepts at most 96 sections; more means a damaged header.
constexpr uint32_t kMaxSections = 96;

bool readAt(FileObject& file, uint64_t position, uint8_t* buffer, uint32_t count) {
  if (!file.seek(static_cast<int64_t>(position), platform::SEEK_FROM_BEGIN)) return false;
  return file.read(count, buffer) == static_cast<int32_t>(count);
}

}  // namespace

bool findPayloadOffset(FileObject& file, uint64_t* offset) {
  uint8_t dos[kDosHeaderSize];
  if (!readAt(file, 0, dos, sizeof dos)) return false;
  if (dos[0] != 'M' || dos[1] != 'Z') return false;
  const uint64_t peOffset = le32(dos + kNewHeaderPointer);

  uint8_t pe[kPeHeaderSize];
  if (!readAt(file, peOffset, pe, sizeof pe)) return false;
  if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) return false;
  const uint32_t sectionCount = le16(pe + 4 + 2);
  const uint32_t optionalHeaderSize = le16(pe + 4 + 16);
  if (sectionCount == 0 || sectionCount > kMaxSections) return false;

  const uint64_t sectionTable = peOffset + kPeHeaderSize + optionalHeaderSize;
  uint64_t end = 0;
  for (uint32_t i = 0; i < sectionCount; ++i) {
    uint8_t section[kSectionEntrySize];
    if (!readAt(file, sectionTable + uint64_t{i} * kSectionEntrySize, section, sizeof section)) return false;
    const uint64_t rawSize = le32(section + 16);
    const uint64_t rawPointer = le32(section + 20);
    // A section without raw data (.bss) occupies nothing in the file.
    if (rawSize != 0 && rawPointer + rawSize > end) end = rawPointer + rawSize;
  }
  if (end == 0) return false;
  *offset = end;
  return true;
}
