// The stub's imports beyond kernel32 and the C runtime, resolved by the stub itself.
//
// A self-extracting file usually runs from a Downloads folder, which holds whatever a browser
// saved there. Had the stub user32, shell32, ... in its import table, the system would load
// them, and their own dependencies, before the stub's first instruction, searching the
// program's folder first: a planted DLL of a fitting name would run inside the installer.
// So the import table names only kernel32 and msvcrt, and the entry point loads the rest
// with LOAD_LIBRARY_SEARCH_SYSTEM32 after SetDefaultDllDirectories, which makes System32 the
// only place where these DLLs, their dependencies and whatever they load later are looked up.
//
// The code calls these functions as usual: with the headers' dllimport, every call goes
// through a pointer named __imp_<function>. Those pointers are defined here (so the linker
// takes none from the import libraries) and filled by loadSystemImports. The build checks
// that the import table holds nothing else (check_imports.sh).
#include "ui/system_imports.h"

#include <windows.h>

// Every function the stub calls in these DLLs, grouped by DLL. A function missing here
// shows as an import of its DLL and fails the build's import check. kernel32's
// GetUserDefaultUILanguage is resolved here too: in the import table, whose section is full,
// its entry would grow the file by 512 bytes.
#define ZOLT_SYSTEM_IMPORTS(DLL, FUNCTION)                                                              \
  DLL(comctl32) FUNCTION(InitCommonControlsEx)                                                        \
  DLL(gdi32) FUNCTION(SelectObject)                                                                   \
  DLL(kernel32) FUNCTION(GetUserDefaultUILanguage)                                                    \
  DLL(ole32) FUNCTION(CoCreateInstance) FUNCTION(CoInitialize) FUNCTION(CoUninitialize)               \
  DLL(shell32) FUNCTION(ILFree) FUNCTION(SHBrowseForFolderW) FUNCTION(SHChangeNotify)                 \
  FUNCTION(SHGetFolderLocation) FUNCTION(SHGetPathFromIDListEx) FUNCTION(SHGetSpecialFolderLocation)  \
  FUNCTION(ShellExecuteW)                                                                             \
  DLL(shlwapi) FUNCTION(PathCompactPathW)                                                             \
  DLL(user32) FUNCTION(CheckDlgButton) FUNCTION(CreateDialogParamW) FUNCTION(DefDlgProcW)              \
  FUNCTION(DestroyWindow) FUNCTION(DialogBoxParamW) FUNCTION(DispatchMessageW) FUNCTION(EnableWindow) \
  FUNCTION(EndDialog) FUNCTION(GetClientRect) FUNCTION(GetCursorPos) FUNCTION(GetDC)                  \
  FUNCTION(GetDlgItem) FUNCTION(GetMessageW) FUNCTION(GetMonitorInfoW) FUNCTION(GetWindowLongPtrW)    \
  FUNCTION(GetWindowRect) FUNCTION(IsDialogMessageW) FUNCTION(IsDlgButtonChecked) FUNCTION(IsWindow)  \
  FUNCTION(LoadCursorW) FUNCTION(LoadIconW) FUNCTION(MessageBoxW) FUNCTION(MonitorFromPoint)          \
  FUNCTION(PostMessageW) FUNCTION(PostQuitMessage) FUNCTION(RegisterClassExW) FUNCTION(ReleaseDC)     \
  FUNCTION(SendMessageW) FUNCTION(SetDlgItemTextW) FUNCTION(SetWindowLongPtrW) FUNCTION(SetWindowPos) \
  FUNCTION(SetWindowTextW) FUNCTION(ShowWindow) FUNCTION(TranslateMessage)

// The pointers, in list order, in zero-filled data (no bytes in the file).
#define ZOLT_NO_SLOT(dll)
#define ZOLT_SLOT(function) ".globl __imp_" #function "\n__imp_" #function ":\n.space 8\n"
asm(".bss\n.balign 8\nzoltImportSlots:\n" ZOLT_SYSTEM_IMPORTS(ZOLT_NO_SLOT, ZOLT_SLOT) ".text\n");
extern "C" FARPROC zoltImportSlots[];

namespace {

// The names in list order: an empty string, then a DLL's name, starts each DLL; two empty
// strings end the list. LoadLibraryExA adds the ".dll" itself.
#define ZOLT_DLL_NAME(dll) "\0" #dll "\0"
#define ZOLT_FUNCTION_NAME(function) #function "\0"
constexpr char kImportNames[] = ZOLT_SYSTEM_IMPORTS(ZOLT_DLL_NAME, ZOLT_FUNCTION_NAME) "\0";

}  // namespace

bool loadSystemImports() {
  FARPROC* slot = zoltImportSlots;
  HMODULE module = nullptr;
  for (const char* name = kImportNames;;) {
    if (*name == 0) {
      ++name;
      if (*name == 0) return true;
      module = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
      if (!module) return false;
    } else {
      const FARPROC function = GetProcAddress(module, name);
      if (!function) return false;
      *slot++ = function;
    }
    while (*name++ != 0) {
    }
  }
}
