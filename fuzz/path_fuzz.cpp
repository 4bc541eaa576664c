// Member names as the header reader converts them (ANSI from code page 932, or UTF-16), then
// made safe. Every result must satisfy the rules for a path that Windows and POSIX both
// create below the destination folder, written down here from those rules and not from the
// code that cleans the path:
// - relative: no leading separator and no drive;
// - no component is "..", and none is empty or "." except for one trailing separator (a
//   folder entry);
// - no component is a device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9 with the superscript
//   digits 1-3 too, CONIN$, CONOUT$) in any case, with any extension;
// - no component holds a character Windows refuses (< > : " | ? * and 1-31), or ends in a
//   dot or a space;
// - cleaning a clean path changes nothing.
//
// Input: one byte of flags (bit 0: UTF-16LE text, else ANSI; bit 1: ANSI directory text,
// whose "\", "/" and 0xFF bytes are separators), then the text.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/lzh_header.h"
#include "core/output_paths.h"
#include "core/wide_string.h"
#include "platform/platform.h"

namespace {

bool isSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

char16_t upperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

bool isDevice(const std::u16string& component) {
  // Windows looks at the name before the first dot, without the spaces that end it.
  std::u16string stem = component.substr(0, component.find(u'.'));
  while (!stem.empty() && stem.back() == u' ') stem.pop_back();
  for (char16_t& c : stem) c = upperAscii(c);
  for (const char16_t* device : {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"}) {
    if (stem == device) return true;
  }
  if (stem.size() == 4 && (stem.compare(0, 3, u"COM") == 0 || stem.compare(0, 3, u"LPT") == 0)) {
    const char16_t digit = stem[3];
    return (digit >= u'1' && digit <= u'9') || digit == 0x00B9 || digit == 0x00B2 || digit == 0x00B3;
  }
  return false;
}

bool isRefused(char16_t c) {
  return c < 32 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?' || c == u'*';
}

[[noreturn]] void violation(const char* rule, const std::u16string& path) {
  std::fprintf(stderr, "path rule broken: %s; path (UTF-16 units):", rule);
  for (char16_t c : path) std::fprintf(stderr, " %04X", static_cast<unsigned>(c));
  std::fprintf(stderr, "\n");
  std::abort();
}

void checkPath(const std::u16string& path) {
  if (path.empty()) return;
  if (isSeparator(path[0])) violation("leading separator", path);
  size_t begin = 0;
  while (begin < path.size()) {
    size_t end = begin;
    while (end < path.size() && !isSeparator(path[end])) ++end;
    const std::u16string component = path.substr(begin, end - begin);
    if (component.empty()) violation("empty component", path);
    if (component == u"." || component == u"..") violation("dot component", path);
    if (isDevice(component)) violation("device name", path);
    for (char16_t c : component) {
      if (isRefused(c)) violation("refused character", path);
    }
    if (component.back() == u'.' || component.back() == u' ') violation("ends in a dot or space", path);
    begin = end + 1;  // one trailing separator ends the loop here
  }
}

std::u16string textOf(const WideString& s) { return std::u16string(s.c_str(), s.length()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 4096) return 0;
  static const bool codePageSet = (platform::setAnsiCodePage(932), true);
  (void)codePageSet;
  const uint8_t flags = data[0];
  WideString path;
  if ((flags & 1) != 0) {
    std::u16string units;
    for (size_t i = 1; i + 1 < size; i += 2) {
      const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
      if (unit == 0) break;
      units += unit;
    }
    path.assign(units.c_str());
  } else {
    std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    bytes = bytes.substr(0, bytes.find('\0'));
    if ((flags & 2) != 0) replaceSeparatorsMbcs(bytes.data(), '/');
    path.assignFromAnsi(bytes.c_str());
  }
  makeSafeMemberPath(path);
  const std::u16string clean = textOf(path);
  checkPath(clean);
  makeSafeMemberPath(path);
  if (textOf(path) != clean) violation("not idempotent", clean);
  return 0;
}
