// UTF-16 <-> UTF-8, for the edges where text leaves the program: POSIX file names, the
// terminal, command-line arguments.
#pragma once

#include <cstddef>
#include <string>

// A lone surrogate cannot be spelt in UTF-8 and becomes U+FFFD.
std::string utf16ToUtf8(const char16_t* text);
// Malformed sequences become U+FFFD.
std::u16string utf8ToUtf16(const char* text, size_t size);
