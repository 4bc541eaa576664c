// Paths in the maker's messages: UTF-8 in double quotes, so that a name with spaces or an
// odd character stands out whole.
#pragma once

#include <filesystem>
#include <string>

#include "platform/utf8.h"

inline std::string inQuotes(const std::u16string& text) {
  std::string out = "\"";
  out += utf16ToUtf8(text.c_str());
  out += '"';
  return out;
}

inline std::string describe(const std::filesystem::path& path) { return inQuotes(path.u16string()); }
