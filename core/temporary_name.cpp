#include "core/temporary_name.h"

#include "platform/platform.h"

namespace {

constexpr char16_t kSuffix[] = u".zsfx-part";

char16_t asciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

// Suffix i is kSuffix, followed by the digit i from 1 on.
WideString suffix(int i) {
  WideString text(kSuffix);
  if (i > 0) text.appendChar(static_cast<char16_t>(u'0' + i));
  return text;
}

}  // namespace

uint16_t suffixesEndingPath(const WideString& path) {
  uint16_t taken = 0;
  for (int i = 0; i < TEMPORARY_SUFFIX_COUNT; ++i) {
    const WideString end = suffix(i);
    const uint32_t n = end.length();
    if (path.length() < n) continue;
    const char16_t* tail = path.c_str() + (path.length() - n);
    bool same = true;
    for (uint32_t k = 0; k < n && same; ++k) same = asciiUpper(tail[k]) == asciiUpper(end.c_str()[k]);
    if (same) taken = static_cast<uint16_t>(taken | (1u << i));
  }
  return taken;
}

bool temporaryName(const WideString& target, uint16_t taken, WideString& name) {
  for (int i = 0; i < TEMPORARY_SUFFIX_COUNT; ++i) {
    if ((taken >> i) & 1) continue;
    name.assign(target);
    name.append(suffix(i));
    if (!platform::isFolder(name.c_str())) return true;
  }
  return false;
}
