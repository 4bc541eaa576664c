#include "ui/destination_dialog.h"

#include <shlobj.h>

#include <cstdint>

#include "core/app.h"
#include "core/output_paths.h"
#include "platform/win32_scoped.h"
#include "platform/win32_text.h"
#include "ui/resource_ids.h"
#include "ui/user_output.h"

namespace {

// The dialog's process-wide state: the application it was opened for and the buffer that
// the edit box's text passes through.
SfxApp* g_dialogApp = nullptr;
wchar_t g_folderText[MAX_PATH];

// Each check box and the option byte of the settings it shows.
struct OptionBox {
  int controlId;
  uint8_t SfxSettings::*option;
};
constexpr OptionBox kOptionBoxes[] = {
    {IDC_STARTMENU, &SfxSettings::startMenuOption},
    {IDC_DESKTOP, &SfxSettings::desktopOption},
    {IDC_SENDTO, &SfxSettings::sendToOption},
};

void onInitDialog(HWND dialog, SfxApp* app) {
  g_dialogApp = app;
  const SfxSettings& settings = app->settings;
  SetWindowTextW(dialog, asWide(settings.title.c_str()));
  g_folderText[0] = 0;
  // The settings' folder, or the one given with /D=.
  copyText(g_folderText, asWide(app->destinationFolder.c_str()), MAX_PATH);
  SetDlgItemTextW(dialog, IDC_DEST_EDIT, g_folderText);
  for (const OptionBox& box : kOptionBoxes) {
    const uint8_t option = settings.*box.option;
    if (option & OPTION_ON) CheckDlgButton(dialog, box.controlId, BST_CHECKED);
    if (!(option & OPTION_CHANGEABLE)) EnableWindow(GetDlgItem(dialog, box.controlId), FALSE);
  }
}

void onOk(HWND dialog) {
  SfxApp& app = *g_dialogApp;
  g_folderText[0] = 0;
  GetDlgItemTextW(dialog, IDC_DEST_EDIT, g_folderText, MAX_PATH);
  app.destinationFolder.assign(asUtf16(g_folderText));
  resolveFolder(app.destinationFolder);
  if (!ensureDestination(app, asWide(app.destinationFolder.c_str()))) {
    EndDialog(dialog, 1);  // the program ends; there is no second try
    return;
  }
  // Only now, with the folder in place, are the choices taken over. A disabled box kept its
  // initial state, so its option stays as the settings had it.
  for (const OptionBox& box : kOptionBoxes) {
    uint8_t& option = app.settings.*box.option;
    if (IsDlgButtonChecked(dialog, box.controlId) == BST_CHECKED) {
      option |= OPTION_ON;
    } else {
      option &= static_cast<uint8_t>(~OPTION_ON);
    }
  }
  EndDialog(dialog, 0);
}

// The shell's folder browser, starting at the desktop. Only the edit box changes; nothing is
// created until OK.
void onBrowse(HWND dialog) {
  // The browser is a COM object user; initialise the apartment for it on this thread.
  ScopedComInit com;
  wchar_t displayName[MAX_PATH];
  BROWSEINFOW info = {};
  info.hwndOwner = dialog;
  info.pszDisplayName = displayName;
  info.lpszTitle = L"解凍先フォルダの指定";
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  if (LPITEMIDLIST items = SHBrowseForFolderW(&info)) {
    if (SHGetPathFromIDListW(items, g_folderText)) SetDlgItemTextW(dialog, IDC_DEST_EDIT, g_folderText);
    ILFree(items);  // the shell allocator's Free, as the engine frees its item lists too
  }
}

}  // namespace

INT_PTR CALLBACK destinationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      onInitDialog(dialog, reinterpret_cast<SfxApp*>(lParam));
      return TRUE;  // the system sets the focus
    case WM_COMMAND:
      // The whole wParam is compared: only plain clicks (notification code 0) act, never
      // the edit box's notifications.
      switch (wParam) {
        case IDOK:
          onOk(dialog);
          break;
        case IDCANCEL:
          EndDialog(dialog, 2);
          break;
        case IDC_BROWSE:
          onBrowse(dialog);
          break;
      }
      return TRUE;
  }
  return FALSE;
}

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

bool ensureDestination(SfxApp& app, const wchar_t* folder) {
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
  if (!ok) tellUser(static_cast<HWND>(app.mainWindow), L"フォルダを作成できません", nullptr, MB_OK | MB_ICONEXCLAMATION);
  return ok;
}
