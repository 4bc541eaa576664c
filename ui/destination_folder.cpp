#include "ui/destination_folder.h"

#include "core/app.h"
#include "core/free_space.h"
#include "core/output_paths.h"
#include "platform/win32_text.h"
#include "ui/user_output.h"

// The destination is made a full path once, on OK (or at the start with /S or /D=), against
// the directory the program started in. Otherwise the second ensureDestination of the run
// would resolve a relative folder again against the folder the first call made current, and
// extract one level too deep. A full path does not change its folder here; one that does not
// fit the buffer stays as it is, and ensureDestination refuses it. An empty text stays empty.
void resolveFolder(WideString& folder) {
  const wchar_t* path = asWide(folder.c_str());
  if (path[0] == 0) return;
  wchar_t full[MAX_PATH];
  const DWORD length = GetFullPathNameW(path, MAX_PATH, full, nullptr);
  if (length > 0 && length < MAX_PATH) folder.assign(asUtf16(full));
}

bool ensureDestination(HWND owner, UserOutput& output, const wchar_t* folder) {
  if (SetCurrentDirectoryW(folder)) return true;  // an existing folder is used as it is
  wchar_t chain[MAX_PATH];
  // The folder with a trailing backslash must fit the buffer; a longer text cannot name a
  // folder that SetCurrentDirectoryW accepts anyway.
  bool ok = textLength(folder) < MAX_PATH - 1;
  if (ok) {
    copyText(chain, folder, MAX_PATH);
    appendBackslash(chain);
    // A folder that was created but cannot be entered is a failure too: the worker writes
    // into the current directory, which would still be the previous one.
    ok = createFolderChain(asUtf16(chain)) && SetCurrentDirectoryW(folder);
  }
  if (!ok) output.tell(owner, L"フォルダを作成できません", nullptr, MB_OK | MB_ICONEXCLAMATION);
  return ok;
}

bool prepareDestination(HWND owner, UserOutput& output, SfxApp& app) {
  const SpaceNeed need = measureSpaceNeed(app, app.payload, app.destinationFolder);
  if (!need.enough()) {
    output.tell(owner, asWide(diskSpaceText(need).c_str()), nullptr, MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  return ensureDestination(owner, output, asWide(app.destinationFolder.c_str()));
}
