#include "shell/shell_path.h"

#include "platform/win32_text.h"

WideString pathOfItems(PCIDLIST_ABSOLUTE items) {
  // The longest path Win32 has: 32767 units and the terminator.
  constexpr uint32_t kLongest = 32768;
  WideString buffer;
  buffer.resizeZeroed(kLongest);
  if (!SHGetPathFromIDListEx(items, reinterpret_cast<wchar_t*>(buffer.charAt(0)), kLongest, GPFIDL_DEFAULT)) {
    return WideString(u"");
  }
  return WideString(buffer.c_str());  // the path at its own length
}
