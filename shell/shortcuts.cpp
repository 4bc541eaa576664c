#include "shell/shortcuts.h"

#include <windows.h>
#include <shlobj.h>
#include <shellapi.h>

#include "core/app.h"
#include "platform/win32_scoped.h"
#include "platform/win32_text.h"

namespace {

// The file name of a relative path without its folders and its extension: "bin\tool.exe"
// gives "tool". A name that starts with its only dot (".profile") keeps it.
void fileStem(const wchar_t* path, wchar_t (&stem)[MAX_PATH]) {
  const wchar_t* name = path;
  for (const wchar_t* p = path; *p; ++p) {
    if (*p == L'\\' || *p == L'/' || *p == L':') name = p + 1;
  }
  copyText(stem, name, MAX_PATH);
  wchar_t* dot = nullptr;
  for (wchar_t* p = stem + 1; *p; ++p) {
    if (*p == L'.') dot = p;
  }
  if (dot && stem[0]) *dot = 0;
}

// The file-system path of a special folder; false when the folder cannot be located or has
// no such path. The Start menu falls back from the common to the user's own programs folder.
bool specialFolderPath(HWND owner, int csidl, wchar_t (&path)[MAX_PATH]) {
  LPITEMIDLIST items = nullptr;
  HRESULT located = SHGetSpecialFolderLocation(owner, csidl, &items);
  if (FAILED(located) && csidl == CSIDL_COMMON_PROGRAMS) located = SHGetSpecialFolderLocation(owner, CSIDL_PROGRAMS, &items);
  if (FAILED(located) || !items) return false;
  path[0] = 0;
  const bool converted = SHGetPathFromIDListW(items, path);
  ILFree(items);  // frees with the shell's allocator
  return converted && path[0];
}

bool saveShortcut(SfxApp& app, HWND owner, int csidl, IShellLinkW* link, IPersistFile* file) {
  // Without its folder the shortcut's path would begin with "\": a ".lnk" at the root of
  // the current drive. Such a shortcut is not made.
  wchar_t linkPath[MAX_PATH];
  if (!specialFolderPath(owner, csidl, linkPath)) return false;

  const SfxSettings& settings = app.settings;
  wchar_t name[MAX_PATH];
  if (!settings.shortcutName.isEmpty()) {
    copyText(name, asWide(settings.shortcutName.c_str()), MAX_PATH);
  } else {
    fileStem(asWide(settings.shortcutTarget.c_str()), name);
  }
  if (!name[0]) return false;
  wchar_t target[MAX_PATH] = {};
  copyText(target, asWide(app.destinationFolder.c_str()), MAX_PATH);
  appendBackslash(target);
  // A path cut short would name another file: such a shortcut is not made either.
  if (!appendToPath(linkPath, L"\\") || !appendToPath(linkPath, name) || !appendToPath(linkPath, L".lnk") ||
      !appendToPath(target, asWide(settings.shortcutTarget.c_str()))) {
    return false;
  }
  link->SetPath(target);
  link->SetIconLocation(target, 0);
  link->SetWorkingDirectory(asWide(app.destinationFolder.c_str()));
  return SUCCEEDED(file->Save(linkPath, TRUE));
}

}  // namespace

bool makeShortcut(SfxApp& app, HWND owner, int csidl) {
  // Each shortcut has its own single-threaded apartment; the link and its file interface are
  // released before it ends.
  ScopedComInit com;
  if (!com.ready()) return false;
  ScopedComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.out()))) {
    return false;
  }
  ScopedComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.out()))) return false;
  return saveShortcut(app, owner, csidl, link.get(), file.get());
}

bool makeShortcuts(SfxApp& app, HWND owner) {
  // A failed shortcut does not stop the next one.
  const SfxSettings& settings = app.settings;
  bool made = true;
  if (settings.startMenuOption & OPTION_ON) made &= makeShortcut(app, owner, CSIDL_COMMON_PROGRAMS);
  if (settings.desktopOption & OPTION_ON) made &= makeShortcut(app, owner, CSIDL_COMMON_DESKTOPDIRECTORY);
  if (settings.sendToOption & OPTION_ON) made &= makeShortcut(app, owner, CSIDL_SENDTO);
  return made;
}

bool runProgram(SfxApp& app, HWND owner) {
  // The started program inherits the current directory: the destination folder.
  wchar_t path[MAX_PATH] = {};
  copyText(path, asWide(app.destinationFolder.c_str()), MAX_PATH);
  if (!appendToPath(path, L"\\") || !appendToPath(path, asWide(app.settings.programToRun.c_str()))) return false;
  // ShellExecuteW reports success with a value above 32.
  const auto result = ShellExecuteW(owner, nullptr, path, nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}
