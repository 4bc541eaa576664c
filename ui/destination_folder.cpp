#include "ui/destination_folder.h"

#include "core/app.h"
#include "core/free_space.h"
#include "core/output_paths.h"
#include "platform/win32_text.h"
#include "ui/user_output.h"

// The destination is made a full path once, on OK (or at the start with /S or /D=), against
// the directory the program started in. Otherwise the second ensureDestination of the run
// would resolve a relative folder again against the folder the first call made current, and
// extract one level too deep. A full path does not change its folder here, whatever its
// length. An empty text stays empty.
void resolveFolder(WideString& folder) {
  const wchar_t* path = asWide(folder.c_str());
  if (path[0] == 0) return;
  const DWORD needed = GetFullPathNameW(path, 0, nullptr, nullptr);  // terminator included
  if (needed == 0) return;
  WideString full;
  full.resizeZeroed(needed);
  const DWORD length = GetFullPathNameW(path, needed, reinterpret_cast<wchar_t*>(full.charAt(0)), nullptr);
  if (length > 0 && length < needed) folder = full;
}

bool ensureDestination(HWND owner, UserOutput& output, SfxApp& app) {
  const wchar_t* folder = asWide(app.destinationFolder.c_str());
  app.outputBase.assign(u"");
  if (SetCurrentDirectoryW(folder)) return true;  // an existing folder is used as it is
  WideString chain(app.destinationFolder);
  chain.ensureTrailingChar(u'\\');
  // A folder that was created but cannot be entered is a failure too: the worker writes
  // into the current directory, which would still be the previous one. Only a folder too
  // long to be the current directory is written into through full paths instead.
  bool ok = createFolderChain(chain.c_str());
  if (ok && !SetCurrentDirectoryW(folder)) {
    ok = chain.length() >= MAX_PATH - 1 && platform::isFolder(chain.c_str());
    if (ok) app.outputBase = chain;
  }
  if (!ok) {
    // The folder whole, however long, and the system's reason.
    const WideString text =
        failureText(app.texts[Text::folderBefore], app.destinationFolder, app.texts[Text::cannotCreateAfter], GetLastError());
    output.tell(owner, asWide(text.c_str()), nullptr, MB_OK | MB_ICONEXCLAMATION);
  }
  return ok;
}

bool prepareDestination(HWND owner, UserOutput& output, SfxApp& app) {
  const SpaceNeed need = measureSpaceNeed(app, app.payload, app.destinationFolder);
  if (!need.enough()) {
    output.tell(owner, asWide(diskSpaceText(app.texts, need).c_str()), nullptr, MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  return ensureDestination(owner, output, app);
}
