// Names as byte strings, for the file-name and folder headers that tools without UTF-16
// support read.
#pragma once

#include <cstdint>
#include <string>

inline constexpr uint32_t kCodePageUtf8 = 65001;
inline constexpr uint32_t kCodePageShiftJis = 932;

// text in codePage (UTF-8 or a Windows code page). False when some character has no code
// there, or only a look-alike one ("best fit"): such a name would come back different.
// UTF-8 always succeeds; a lone surrogate becomes U+FFFD.
bool encodeInCodePage(const std::u16string& text, uint32_t codePage, std::string& out);
