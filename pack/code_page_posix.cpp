// Code page conversion with iconv, checked by converting back.
#include <iconv.h>

#include <cerrno>

#include "pack/code_page.h"
#include "platform/utf8.h"

namespace {

// One iconv conversion of a whole string; false on any unconvertible input.
bool convert(const char* to, const char* from, const std::string& input, std::string& output) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  output.clear();
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  bool ok = true;
  char chunk[256];
  while (ok) {
    char* outPtr = chunk;
    size_t outLeft = sizeof chunk;
    const size_t result = iconv(cd, inLeft ? &in : nullptr, &inLeft, &outPtr, &outLeft);
    output.append(chunk, sizeof chunk - outLeft);
    if (result != static_cast<size_t>(-1)) {
      if (inLeft == 0) break;
      continue;
    }
    ok = errno == E2BIG;
  }
  iconv_close(cd);
  return ok;
}

std::string utf16le(const std::u16string& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

}  // namespace

bool encodeInCodePage(const std::u16string& text, uint32_t codePage, std::string& out) {
  if (codePage == kCodePageUtf8) {
    out = utf16ToUtf8(text.c_str());
    return true;
  }
  const std::string name = "CP" + std::to_string(codePage);
  const std::string wide = utf16le(text);
  std::string back;
  return convert(name.c_str(), "UTF-16LE", wide, out) && convert("UTF-16LE", name.c_str(), out, back) &&
         back == wide;
}
