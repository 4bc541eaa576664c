// Win32 text helpers for the stub's Windows-only code (ui/ and shell/): the engine's text is
// char16_t, Win32's is wchar_t, and both are the same UTF-16 code units on Windows.
#pragma once

#include <windows.h>

#include <cstdint>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 text is UTF-16");

inline const wchar_t* asWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline const char16_t* asUtf16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

// The length of a NUL-terminated text, and a copy of at most capacity - 1 units plus the
// terminator: what lstrlenW and lstrcpynW do, without importing them (each import costs the
// stub some 30 bytes).
inline int textLength(const wchar_t* text) {
  int length = 0;
  while (text[length]) ++length;
  return length;
}
inline void copyText(wchar_t* target, const wchar_t* text, int capacity) {
  int i = 0;
  for (; i < capacity - 1 && text[i]; ++i) target[i] = text[i];
  target[i] = 0;
}
