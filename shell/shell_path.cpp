#include "shell/shell_path.h"

#include "platform/platform.h"
#include "platform/win32_text.h"

WideString pathOfItems(PCIDLIST_ABSOLUTE items) {
  constexpr uint32_t kLongest = platform::LONGEST_PATH_UNITS;
  WideString buffer;
  buffer.resizeZeroed(kLongest);
  if (!SHGetPathFromIDListEx(items, reinterpret_cast<wchar_t*>(buffer.charAt(0)), kLongest, GPFIDL_DEFAULT)) {
    return WideString(u"");
  }
  return WideString(buffer.c_str());  // the path at its own length
}
