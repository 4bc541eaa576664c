#include "core/wide_string.h"

#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <new>

#include <bits/functexcept.h>

#include "platform/platform.h"

namespace {

// An allocation that cannot be served ends the process: with the standard bad-allocation
// exception where the build has exceptions (nothing catches it), at once in the stub, which
// is built without them to stay small and defines the library's thrower to end the process.
[[noreturn]] void allocationFailed() { std::__throw_bad_alloc(); }

// What charAt and c_str hand out when there is no text.
const char16_t kEmptyText[1] = {0};

// Allocates units code units. A request whose byte count does not fit in 32 bits is one the
// stub's allocator cannot serve; it fails like any other allocation failure.
char16_t* allocateUnits(uint64_t units) {
  if (units * sizeof(char16_t) > UINT32_MAX) allocationFailed();
  return new char16_t[static_cast<size_t>(units)];
}

}  // namespace

uint32_t wideLength(const char16_t* text) {
  if (text == nullptr) return 0;
  uint32_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

WideString::WideString(const char16_t* text) { assign(text); }

WideString::WideString(const WideString& other) { assign(other); }

WideString::WideString(WideString&& other) noexcept : data_(other.data_) { other.data_ = nullptr; }

WideString& WideString::operator=(const WideString& other) {
  assign(other);
  return *this;
}

WideString& WideString::operator=(WideString&& other) noexcept {
  if (this != &other) {
    delete[] data_;
    data_ = other.data_;
    other.data_ = nullptr;
  }
  return *this;
}

WideString::~WideString() { clear(); }

uint32_t WideString::length() const { return wideLength(data_); }

const char16_t* WideString::c_str() const { return data_ != nullptr ? data_ : kEmptyText; }

char16_t* WideString::charAt(uint32_t index) {
  if (data_ == nullptr) return const_cast<char16_t*>(kEmptyText);
  return data_ + index;
}

const char16_t* WideString::charAt(uint32_t index) const {
  if (data_ == nullptr) return kEmptyText;
  return data_ + index;
}

void WideString::clear() {
  delete[] data_;
  data_ = nullptr;
}

void WideString::assign(const char16_t* text) {
  if (text == data_ && text != nullptr) return;
  if (text == nullptr) {
    clear();
    return;
  }
  const uint32_t n = wideLength(text);
  char16_t* fresh = allocateUnits(uint64_t{n} + 1);
  std::memcpy(fresh, text, (uint64_t{n} + 1) * sizeof(char16_t));
  delete[] data_;
  data_ = fresh;
}

void WideString::assign(const WideString& other) {
  if (&other == this) return;
  assign(other.data_);
}

void WideString::appendText(const char16_t* text) {
  const uint32_t oldLength = length();
  const uint32_t extra = wideLength(text);
  char16_t* fresh = allocateUnits(uint64_t{oldLength} + extra + 1);
  if (oldLength != 0) std::memcpy(fresh, data_, oldLength * sizeof(char16_t));
  if (extra != 0) std::memcpy(fresh + oldLength, text, extra * sizeof(char16_t));
  fresh[oldLength + extra] = 0;
  delete[] data_;
  data_ = fresh;
}

void WideString::append(const WideString& other) {
  if (&other == this) {
    // Appending to itself: take a copy first, the buffer is replaced below.
    WideString copy(other);
    appendText(copy.c_str());
    return;
  }
  appendText(other.c_str());
}

void WideString::appendNumber(uint64_t value) {
  char16_t digits[20];
  int n = 0;
  do {
    digits[n++] = static_cast<char16_t>(u'0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) appendChar(digits[--n]);
}

void WideString::appendChar(char16_t unit) {
  const char16_t text[2] = {unit, 0};
  appendText(text);
}

void WideString::ensureTrailingChar(char16_t unit) {
  const uint32_t n = length();
  if (n != 0 && data_[n - 1] == unit) return;
  appendChar(unit);
}

void WideString::resizeZeroed(uint32_t n) {
  // A buffer of no units could not even hold the terminator: that is no text.
  if (n == 0) {
    clear();
    return;
  }
  char16_t* fresh = allocateUnits(n);
  std::memset(fresh, 0, uint64_t{n} * sizeof(char16_t));
  const uint32_t oldLength = length();
  const uint32_t keep = oldLength < n - 1 ? oldLength : n - 1;
  if (keep != 0) std::memcpy(fresh, data_, keep * sizeof(char16_t));
  delete[] data_;
  data_ = fresh;
}

void WideString::assignFromAnsi(const char* text) {
  if (text == nullptr) {
    clear();
    return;
  }
  // MultiByteToWideChar is asked for the length including the terminator first.
  const uint32_t needed = platform::ansiToWide(text, nullptr, 0);
  if (needed == 0) {
    assign(u"");
    return;
  }
  char16_t* fresh = allocateUnits(needed);
  if (platform::ansiToWide(text, fresh, needed) == 0) fresh[0] = 0;
  fresh[needed - 1] = 0;
  delete[] data_;
  data_ = fresh;
}

void WideString::replaceSeparators(char16_t unit) {
  if (data_ == nullptr) return;
  for (char16_t* p = data_; *p != 0; ++p) {
    if (*p == u'/' || *p == u'\\' || *p == 0xFFFF) *p = unit;
  }
}

void WideString::adopt(char16_t* buffer) {
  if (buffer == data_) return;
  delete[] data_;
  data_ = buffer;
}

bool WideString::equals(const char16_t* text) const {
  const char16_t* mine = c_str();
  if (text == nullptr) text = kEmptyText;
  while (*mine != 0 && *mine == *text) {
    ++mine;
    ++text;
  }
  return *mine == *text;
}

