// Test-only: finds the members of an LZH archive (header levels 0, 1 and 2) in memory, so
// that the decoders can be checked on real archives without the extraction run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct LocatedMember {
  std::string method;  // the 5-byte identifier, e.g. "-lh5-"
  std::string name;    // file name as stored (directory part not included)
  size_t dataOffset = 0;
  uint32_t packedSize = 0;
  uint32_t originalSize = 0;
  uint16_t crc = 0;
};

// The members in order; empty with error set when the archive cannot be walked.
std::vector<LocatedMember> locateMembers(const std::vector<uint8_t>& archive, std::string& error);

std::vector<uint8_t> readWholeFile(const std::string& path);
