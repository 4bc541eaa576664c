#include "ui/destination_dialog.h"

#include <shlobj.h>

#include <cstdint>

#include "core/app.h"
#include "platform/win32_scoped.h"
#include "platform/win32_text.h"
#include "shell/shell_path.h"
#include "ui/destination_folder.h"
#include "ui/resource_ids.h"

namespace {

// The dialog's state, bound to the dialog at WM_INITDIALOG.
struct DestinationDialog {
  SfxApp& app;
  UserOutput& output;
  HWND owner;  // the progress window, which also owns the dialog's message boxes
  HINSTANCE instance;
};

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

void onInitDialog(HWND dialog, const SfxApp& app) {
  const SfxSettings& settings = app.settings;
  SetWindowTextW(dialog, asWide(settings.title.c_str()));
  // The settings' folder, or the one given with /D=, whole.
  SetDlgItemTextW(dialog, IDC_DEST_EDIT, asWide(app.destinationFolder.c_str()));
  for (const OptionBox& box : kOptionBoxes) {
    const uint8_t option = settings.*box.option;
    if (option & OPTION_ON) CheckDlgButton(dialog, box.controlId, BST_CHECKED);
    if (!(option & OPTION_CHANGEABLE)) EnableWindow(GetDlgItem(dialog, box.controlId), FALSE);
  }
}

void onOk(HWND dialog, DestinationDialog& state) {
  SfxApp& app = state.app;
  // The folder as typed, at its real length: no buffer may cut it to another folder.
  HWND edit = GetDlgItem(dialog, IDC_DEST_EDIT);
  const auto length = static_cast<uint32_t>(SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0));
  WideString folder;
  folder.resizeZeroed(length + 1);
  SendMessageW(edit, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(folder.charAt(0)));
  app.destinationFolder = folder;
  resolveFolder(app.destinationFolder);
  if (!prepareDestination(state.owner, state.output, app)) {
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
void onBrowse(HWND dialog, const SfxApp& app) {
  // The browser is a COM object user; initialise the apartment for it on this thread.
  ScopedComInit com;
  wchar_t displayName[MAX_PATH];
  BROWSEINFOW info = {};
  info.hwndOwner = dialog;
  info.pszDisplayName = displayName;
  info.lpszTitle = asWide(app.texts[Text::browseTitle]);
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  if (LPITEMIDLIST items = SHBrowseForFolderW(&info)) {
    const WideString folder = pathOfItems(items);
    if (!folder.isEmpty()) SetDlgItemTextW(dialog, IDC_DEST_EDIT, asWide(folder.c_str()));
    ILFree(items);  // the shell allocator's Free, as the engine frees its item lists too
  }
}

INT_PTR CALLBACK destinationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    const auto& state = *reinterpret_cast<DestinationDialog*>(lParam);
    // The icon of its taskbar button and title bar.
    const auto icon = reinterpret_cast<LPARAM>(LoadIconW(state.instance, MAKEINTRESOURCEW(IDI_APP)));
    SendMessageW(dialog, WM_SETICON, ICON_BIG, icon);
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, icon);
    onInitDialog(dialog, state.app);
    return TRUE;  // the system sets the focus
  }
  auto* state = reinterpret_cast<DestinationDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (message != WM_COMMAND || !state) return FALSE;
  // The whole wParam is compared: only plain clicks (notification code 0) act, never the
  // edit box's notifications.
  switch (wParam) {
    case IDOK:
      onOk(dialog, *state);
      break;
    case IDCANCEL:
      EndDialog(dialog, 2);
      break;
    case IDC_BROWSE:
      onBrowse(dialog, state->app);
      break;
  }
  return TRUE;
}

}  // namespace

INT_PTR runDestinationDialog(HINSTANCE instance, HWND owner, SfxApp& app, UserOutput& output) {
  DestinationDialog state{app, output, owner, instance};
  const int id = app.texts.language() == Language::english ? IDD_DESTINATION_ENGLISH : IDD_DESTINATION;
  return DialogBoxParamW(instance, MAKEINTRESOURCEW(id), owner, destinationDialogProc,
                         reinterpret_cast<LPARAM>(&state));
}
