/* A DLL that records its own loading, for the planted-DLL test of the stub (driver.cpp).
 * Copies of it are placed under the names of system DLLs beside a self-extracting file and
 * in its current directory. Whenever one is loaded, it appends its own path to
 * planted-record.txt in its folder, so the test judges by the DLL's own word. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  wchar_t record[MAX_PATH + 32];
  lstrcpyW(record, path);
  wchar_t* slash = record;
  for (wchar_t* p = record; *p; ++p) {
    if (*p == L'\\') slash = p + 1;
  }
  lstrcpyW(slash, L"planted-record.txt");
  HANDLE file = CreateFileW(record, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0, NULL);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(file, path, length * sizeof(wchar_t), &written, NULL);
    WriteFile(file, L"\r\n", 2 * sizeof(wchar_t), &written, NULL);
    CloseHandle(file);
  }
  return TRUE;
}
