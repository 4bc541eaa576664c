// Code page conversion with the system's tables, without best-fit look-alikes, checked by
// converting back.
#include <windows.h>

#include "pack/code_page.h"
#include "platform/utf8.h"

bool encodeInCodePage(const std::u16string& text, uint32_t codePage, std::string& out) {
  if (codePage == kCodePageUtf8) {
    out = utf16ToUtf8(text.c_str());
    return true;
  }
  out.clear();
  if (text.empty()) return true;
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int units = static_cast<int>(text.size());
  BOOL usedDefault = FALSE;
  const int size = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, units, nullptr, 0, nullptr, &usedDefault);
  if (size <= 0 || usedDefault) return false;
  out.resize(static_cast<size_t>(size));
  WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, units, out.data(), size, nullptr, &usedDefault);
  std::wstring back(static_cast<size_t>(units) + 1, L'\0');
  const int backUnits = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, out.data(), size, back.data(),
                                            static_cast<int>(back.size()));
  return !usedDefault && backUnits == units && back.compare(0, units, wide, units) == 0;
}
