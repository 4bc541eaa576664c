#include "support/member_locator.h"

#include <cstdio>

namespace {

uint32_t le16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t le32(const uint8_t* p) { return le16(p) | (le16(p + 2) << 16); }

// Walks the extended headers starting at offset: each is [type][data][size of the next],
// its size counting all three. Picks up the file name (type 1).
bool readExtended(const std::vector<uint8_t>& a, size_t offset, uint32_t nextSize, LocatedMember& m,
                  size_t& end) {
  while (nextSize != 0) {
    if (nextSize < 3 || offset + nextSize > a.size()) return false;
    const uint8_t* h = a.data() + offset;
    if (h[0] == 0x01) {
      m.name.assign(reinterpret_cast<const char*>(h + 1), nextSize - 3);
    }
    offset += nextSize;
    nextSize = le16(h + nextSize - 2);
  }
  end = offset;
  return true;
}

}  // namespace

std::vector<LocatedMember> locateMembers(const std::vector<uint8_t>& a, std::string& error) {
  std::vector<LocatedMember> members;
  size_t pos = 0;
  while (pos < a.size() && a[pos] != 0) {
    if (pos + 22 > a.size()) {
      error = "truncated header";
      return {};
    }
    const uint8_t* h = a.data() + pos;
    LocatedMember m;
    m.method.assign(reinterpret_cast<const char*>(h + 2), 5);
    m.packedSize = le32(h + 7);
    m.originalSize = le32(h + 11);
    const int level = h[20];
    size_t dataStart = 0;
    if (level == 0 || level == 1) {
      const size_t baseSize = h[0] + 2u;
      const unsigned nameLength = h[21];
      if (pos + baseSize > a.size() || 22 + nameLength + 2 > baseSize) {
        error = "bad level-0/1 header";
        return {};
      }
      m.name.assign(reinterpret_cast<const char*>(h + 22), nameLength);
      m.crc = static_cast<uint16_t>(le16(h + 22 + nameLength));
      dataStart = pos + baseSize;
      if (level == 1) {
        size_t end = 0;
        if (!readExtended(a, dataStart, le16(h + baseSize - 2), m, end)) {
          error = "bad level-1 extended header";
          return {};
        }
        // The packed size of a level-1 member counts its extended headers.
        m.packedSize -= static_cast<uint32_t>(end - dataStart);
        dataStart = end;
      }
    } else if (level == 2) {
      const size_t total = le16(h);
      m.crc = static_cast<uint16_t>(le16(h + 21));
      size_t end = 0;
      if (pos + total > a.size() || !readExtended(a, pos + 26, le16(h + 24), m, end)) {
        error = "bad level-2 header";
        return {};
      }
      dataStart = pos + total;
    } else {
      error = "unknown header level";
      return {};
    }
    if (dataStart + m.packedSize > a.size()) {
      error = "packed data past the end";
      return {};
    }
    m.dataOffset = dataStart;
    members.push_back(m);
    pos = dataStart + m.packedSize;
  }
  return members;
}

std::vector<uint8_t> readWholeFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(f);
  }
  return bytes;
}
