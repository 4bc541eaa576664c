// The file-system path of a shell item (a special folder, the folder browser's choice), of
// any length.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "core/wide_string.h"

// The path of items (SHGetPathFromIDListEx, not limited to MAX_PATH); empty when the item
// has none. The item list stays the caller's.
WideString pathOfItems(PCIDLIST_ABSOLUTE items);
