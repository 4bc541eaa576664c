// Test-only writer of small LZH archives: level 0, 1, 2 and 3 headers byte by byte, with
// stored data, so that every branch of the header reader and the run can be reached,
// including headers that no real archiver would write.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/file_object.h"

namespace lzhtest {

using Bytes = std::vector<uint8_t>;

struct ExtHeader {
  uint8_t type = 0;
  Bytes data;
};

// Extended headers of the common kinds.
ExtHeader nameExt(const std::string& ansiName);         // 0x01
ExtHeader directoryExt(const std::string& ansiDir);     // 0x02, separators as given
ExtHeader attributeExt(uint8_t attribute);              // 0x40
ExtHeader unicodeNameExt(const std::u16string& name);   // 0x44
ExtHeader unicodeDirectoryExt(const std::u16string& dir);  // 0x45

struct Member {
  int level = 2;
  std::string method = "-lh0-";
  // Levels 0 and 1: the name in the base header (bytes as stored). Levels 2 and 3: written
  // as a 0x01 extended header when not empty.
  std::string name;
  Bytes data;                              // packed data as stored
  std::optional<uint32_t> originalSize;    // default: data.size()
  std::optional<uint16_t> crc;             // default: CRC-16 of data
  bool withCrc = true;                     // level 0 only: false writes R = 20
  uint32_t rawTime = 0;                    // MS-DOS time (levels 0, 1) or Unix time (level 2)
  uint8_t attribute = 0x20;
  uint8_t osId = 'M';                      // levels 1 and 2 (level 0 carries none)
  std::vector<ExtHeader> ext;              // levels 1 to 3, after the name header
  // Levels 2 and 3: pads the header to this total length when larger (0: no padding).
  uint32_t padLevel2To = 0;
};

Bytes encodeMember(const Member& member);
// All members followed by the end-of-archive byte 0 (unless endMark is false).
Bytes encodeArchive(const std::vector<Member>& members, bool endMark = true);
// The smallest image the payload finder accepts, to stand for the stub: DOS header, PE
// signature, a COFF header without optional header, and two sections whose raw data ends at
// byte 0x600.
Bytes fakeStub();
// The settings block with marker 0: one byte.
Bytes emptySettingsBlock();
Bytes bytesOf(const std::string& text);
// Deterministic filler bytes.
Bytes patternBytes(size_t n, uint32_t seed = 1);

void writeFileBytes(const std::filesystem::path& path, const Bytes& bytes);
Bytes readFileBytes(const std::filesystem::path& path);

// A fresh folder under the system's temporary folder, removed with everything in it when
// the object goes.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Makes a folder the current directory for the lifetime of the object.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::filesystem::path& folder);
  ~CurrentDirectory();

 private:
  std::filesystem::path previous_;
};

std::u16string utf16(const std::string& utf8);

// A FileObject opened for reading as the stub opens its own file.
std::unique_ptr<FileObject> openForReading(const std::filesystem::path& path);
// Writes bytes to name inside folder and opens the file for reading.
std::unique_ptr<FileObject> openBytes(const ScratchFolder& folder, const std::string& name, const Bytes& bytes);

}  // namespace lzhtest
