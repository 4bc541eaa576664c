// WideString: the system's one text type.
//
// A WideString owns one heap buffer of UTF-16 code units ending in a 0 unit, or no buffer at
// all. "No text" (no buffer) and "empty text" (a buffer holding only the terminator) are
// different states; every reader accepts both. Each change allocates exactly length + 1 units.
#pragma once

#include <cstddef>
#include <cstdint>

class WideString {
 public:
  WideString() = default;
  explicit WideString(const char16_t* text);  // null gives no text
  WideString(const WideString& other);
  WideString(WideString&& other) noexcept;
  WideString& operator=(const WideString& other);  // same as assign
  WideString& operator=(WideString&& other) noexcept;
  ~WideString();

  bool hasText() const { return data_ != nullptr; }
  // Length in code units; 0 for no text and for empty text.
  uint32_t length() const;
  // The text, or a shared constant empty text when there is none (never null).
  const char16_t* c_str() const;
  // Address of the unit at index (inside the terminator at most); the shared empty text
  // when there is no text.
  char16_t* charAt(uint32_t index);
  const char16_t* charAt(uint32_t index) const;
  bool isEmpty() const { return length() == 0; }

  void clear();
  void assign(const char16_t* text);  // no effect when text is this object's own buffer
  void assign(const WideString& other);
  void append(const WideString& other);   // result always has text
  void appendText(const char16_t* text);  // null allowed; result always has text
  void appendChar(char16_t unit);
  void appendNumber(uint64_t value);  // in decimal
  void ensureTrailingChar(char16_t unit);
  // New buffer of n zero units holding the first min(n - 1, old length) units of the old text.
  void resizeZeroed(uint32_t n);
  // MultiByteToWideChar(CP_ACP): a null argument leaves no text.
  void assignFromAnsi(const char* text);
  // Every "/", "\" and U+FFFF becomes unit.
  void replaceSeparators(char16_t unit);
  // Takes over a buffer allocated with new char16_t[]; used by code that builds text in place.
  void adopt(char16_t* buffer);

  bool equals(const char16_t* text) const;

 private:
  char16_t* data_ = nullptr;
};

// Length of a NUL-terminated UTF-16 text.
uint32_t wideLength(const char16_t* text);
