#include "shell/shortcuts.h"

#include <windows.h>
#include <shlobj.h>
#include <shellapi.h>

#include "core/app.h"
#include "platform/win32_scoped.h"
#include "platform/win32_text.h"
#include "shell/shell_path.h"

namespace {

// The file name of a relative path without its folders and its extension: "bin\tool.exe"
// gives "tool". A name that starts with its only dot (".profile") keeps it.
WideString fileStem(const WideString& path) {
  const char16_t* text = path.c_str();
  const char16_t* name = text;
  for (const char16_t* p = text; *p; ++p) {
    if (*p == u'\\' || *p == u'/' || *p == u':') name = p + 1;
  }
  WideString stem(name);
  char16_t* first = stem.charAt(0);
  char16_t* dot = nullptr;
  for (char16_t* p = first + (*first ? 1 : 0); *p; ++p) {
    if (*p == u'.') dot = p;
  }
  if (dot) *dot = 0;
  return WideString(stem.c_str());
}

// The file-system path of a special folder; empty when the folder cannot be located or has
// no such path. The Start menu falls back from the common to the user's own programs folder.
WideString specialFolderPath(HWND owner, int csidl) {
  LPITEMIDLIST items = nullptr;
  HRESULT located = SHGetSpecialFolderLocation(owner, csidl, &items);
  if (FAILED(located) && csidl == CSIDL_COMMON_PROGRAMS) located = SHGetSpecialFolderLocation(owner, CSIDL_PROGRAMS, &items);
  if (FAILED(located) || !items) return WideString(u"");
  WideString path = pathOfItems(items);
  ILFree(items);  // frees with the shell's allocator
  return path;
}

// "<before><what> を…できません。" and the system's reason, in a box and in the log.
void tellFailure(SfxApp& app, const char16_t* before, const WideString& what, const char16_t* after,
                 uint32_t error) {
  app.observer().showMessage(failureText(before, what, after, error).c_str(), MessageKind::warning);
}

// The destination folder with a final "\" and the relative path: what the shortcut or the
// program start names.
WideString inDestination(const SfxApp& app, const WideString& relative) {
  WideString path(app.destinationFolder);
  path.ensureTrailingChar(u'\\');
  path.append(relative);
  return path;
}

// The name of the shortcuts: the settings' one, or the target's file name without its
// extension.
WideString shortcutName(const SfxSettings& settings) {
  return settings.shortcutName.isEmpty() ? fileStem(settings.shortcutTarget) : WideString(settings.shortcutName);
}

// The shortcut's file in the special folder csidl; false when the folder cannot be located:
// without it the path would begin with "\", a ".lnk" at the root of the current drive.
bool shortcutFile(HWND owner, int csidl, const WideString& name, WideString& linkPath) {
  linkPath = specialFolderPath(owner, csidl);
  if (linkPath.isEmpty()) return false;
  linkPath.ensureTrailingChar(u'\\');
  linkPath.append(name);
  linkPath.appendText(u".lnk");
  return true;
}

HRESULT saveShortcut(SfxApp& app, const WideString& linkPath) {
  // Each shortcut has its own single-threaded apartment; the link and its file interface are
  // released before it ends.
  ScopedComInit com;
  if (!com.ready()) return E_FAIL;
  ScopedComPtr<IShellLinkW> link;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.out());
  if (FAILED(result)) return result;
  ScopedComPtr<IPersistFile> file;
  result = link->QueryInterface(IID_IPersistFile, file.out());
  if (FAILED(result)) return result;
  // A shortcut holds a target of MAX_PATH units at the most; a longer one is refused with
  // the system's reason rather than cut to another file.
  const WideString target = inDestination(app, app.settings.shortcutTarget);
  if (target.length() >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  result = link->SetPath(asWide(target.c_str()));
  if (FAILED(result)) return result;
  link->SetIconLocation(asWide(target.c_str()), 0);
  link->SetWorkingDirectory(asWide(app.destinationFolder.c_str()));
  return file->Save(asWide(linkPath.c_str()), TRUE);
}

}  // namespace

bool makeShortcut(SfxApp& app, HWND owner, int csidl) {
  const WideString name = shortcutName(app.settings);
  WideString linkPath;
  HRESULT result = HRESULT_FROM_WIN32(name.isEmpty() ? ERROR_INVALID_NAME : ERROR_PATH_NOT_FOUND);
  if (!name.isEmpty() && shortcutFile(owner, csidl, name, linkPath)) result = saveShortcut(app, linkPath);
  if (SUCCEEDED(result)) return true;
  // Named by its file when its folder is known, else by its name.
  tellFailure(app, app.texts[Text::shortcutBefore], linkPath.isEmpty() ? name : linkPath, app.texts[Text::cannotCreateAfter],
              static_cast<uint32_t>(result));
  return false;
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
  const WideString path = inDestination(app, app.settings.programToRun);
  // ShellExecuteW reports success with a value above 32, and the reason in the last error.
  const auto result = ShellExecuteW(owner, nullptr, asWide(path.c_str()), nullptr, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(result) > 32) return true;
  // Its codes up to 32 stand in when the last error says nothing (2, 3, 5 and 8 are Win32's).
  const DWORD error = GetLastError();
  tellFailure(app, app.texts[Text::programBefore], path, app.texts[Text::cannotStartAfter],
              error != 0 ? error : static_cast<uint32_t>(reinterpret_cast<INT_PTR>(result)));
  return false;
}
