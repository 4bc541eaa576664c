// The header parser and the member walk on arbitrary bytes, from memory. Each header is fed
// to parseHeader as readHeader feeds it, exactly the bytes it asks for in a buffer of that
// size (so that AddressSanitizer sees any look beyond them), and must then agree with a
// parse of all the bytes that follow. Every path that comes out is made safe and must then
// be relative, without drive or climbing component.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/lzh_header.h"
#include "core/output_paths.h"

namespace {

bool isSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

void checkContained(const WideString& path) {
  const char16_t* p = path.c_str();
  const uint32_t n = path.length();
  if (n == 0) return;
  if (isSeparator(p[0])) std::abort();
  uint32_t begin = 0;
  for (uint32_t i = 0; i <= n; ++i) {
    if (i < n && p[i] == u':') std::abort();
    if (i == n || isSeparator(p[i])) {
      uint32_t end = i;
      while (end > begin && p[end - 1] == u' ') --end;
      if (end - begin == 2 && p[begin] == u'.' && p[begin + 1] == u'.') std::abort();
      begin = i + 1;
    }
  }
}

// Parses the header at data[0 .. size) as readHeader would, asking for more until done; exact
// holds the bytes it was given last.
HeaderParse parseAsRead(const uint8_t* data, size_t size, std::vector<uint8_t>& exact, RawHeader& raw) {
  size_t have = 0;
  for (;;) {
    exact.assign(data, data + have);
    const HeaderParse parse = parseHeader(exact.data(), have, raw);
    if (parse.status != HeaderStatus::needMore) return parse;
    if (parse.size <= have || parse.size > HEADER_BUFFER_SIZE) std::abort();
    if (parse.size > size) return parse;  // the input ends inside the header
    have = parse.size;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> exact;
  RawHeader raw, rawWhole;
  LzhHeader header, whole;
  size_t position = 0;
  // Each member moves forward by at least its header, so the walk ends; the bound only
  // keeps a single input short.
  for (int members = 0; members < 1000 && position < size; ++members) {
    const HeaderParse parse = parseAsRead(data + position, size - position, exact, raw);
    const HeaderParse all = parseHeader(data + position, size - position, rawWhole);
    if (parse.status != HeaderStatus::needMore && (all.status != parse.status || all.size != parse.size)) std::abort();
    if (parse.status != HeaderStatus::member) break;
    if (parse.size == 0 || parse.size > size - position) std::abort();
    completeHeader(exact.data(), raw, header);
    completeHeader(data + position, rawWhole, whole);
    if (std::memcmp(header.path.c_str(), whole.path.c_str(), (header.path.length() + 1) * 2) != 0) std::abort();
    WideString path(header.path);
    makeSafeMemberPath(path);
    checkContained(path);
    if (path.length() > header.path.length() + header.path.length() / 3 + 1) std::abort();
    // A link entry's "|" lies inside its stored path.
    const int32_t bar = findUnixLinkBar(header);
    if (bar >= 0 && (static_cast<uint32_t>(bar) >= header.path.length() || *header.path.charAt(bar) != u'|')) {
      std::abort();
    }
    // Packed sizes are 64-bit (extended header 0x42): one past the input ends the walk.
    position += parse.size;
    if (header.packedSize > size - position) break;
    position += static_cast<size_t>(header.packedSize);
  }
  return 0;
}
