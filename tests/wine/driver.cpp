// Windows test driver of the self-extracting stub, run under Wine by tests/wine/run.sh.
//
// It starts the self-extracting files that make_cases.py prepared, finds their windows,
// fills and clicks the destination dialog, presses abort, reads and closes message boxes,
// waits for the exit, and checks the extracted files, their time stamps, the shortcuts (read
// back through IShellLinkW) and whether the configured program was started.
//
//   driver.exe WORKDIR CORPUS_FILES [SCENARIO...]      (all scenarios when none is named)
//   driver.exe --screenshots WORKDIR [CASE]            (used by scripts/screenshots.sh)
//
// A copy of this program named launched.exe is packed into the test archives as the
// "program to run": started that way, it only records its current directory in
// launched.txt beside itself.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "ui/resource_ids.h"

namespace {

using std::wstring;

// ---------------------------------------------------------------- reporting

int g_failures = 0;
bool g_scenarioFailed = false;

void say(const wstring& text) {
  // The console of Wine takes UTF-8 best; Japanese texts stay readable in the log.
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), n, nullptr, nullptr);
  std::fputs(bytes.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

bool expect(bool condition, const wstring& what) {
  if (!condition) {
    say(L"  FAIL: " + what);
    g_scenarioFailed = true;
  }
  return condition;
}

// ---------------------------------------------------------------- files

wstring g_workDir;      // WORKDIR: cases\*.exe and runs\ below it
wstring g_corpusFiles;  // the original files of the LZH corpus

bool exists(const wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool isFolder(const wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool readWholeFile(const wstring& path, std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes.clear();
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
  CloseHandle(file);
  return true;
}

std::string fileBytes(const wstring& path) {
  std::string bytes;
  readWholeFile(path, bytes);
  return bytes;
}

void writeWholeFile(const wstring& path, const void* data, DWORD size) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, data, size, &written, nullptr);
  CloseHandle(file);
}

// Modification time as seconds since 1970, or -1.
long long unixModificationTime(const wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  ULARGE_INTEGER t;
  t.LowPart = data.ftLastWriteTime.dwLowDateTime;
  t.HighPart = data.ftLastWriteTime.dwHighDateTime;
  return static_cast<long long>(t.QuadPart / 10000000ULL) - 11644473600LL;
}

void removeTree(const wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const wstring child = path + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        removeTree(child);
      } else {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

// Names directly inside a folder, "." and ".." left out.
std::vector<wstring> folderEntries(const wstring& path) {
  std::vector<wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

// A fresh, empty folder for one scenario; the stub is started with it as current directory.
wstring freshRunFolder(const wchar_t* scenario) {
  const wstring runs = g_workDir + L"\\runs";
  CreateDirectoryW(runs.c_str(), nullptr);
  const wstring folder = runs + L"\\" + scenario;
  removeTree(folder);
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

// The extracted file equals the corpus original and carries its time stamp (1700000000).
void expectCorpusFile(const wstring& folder, const wchar_t* name) {
  std::string got, want;
  const wstring path = folder + L"\\" + name;
  if (!expect(readWholeFile(path, got), wstring(L"extracted file exists: ") + path)) return;
  readWholeFile(g_corpusFiles + L"\\" + name, want);
  expect(got == want, wstring(L"bytes of ") + path + L" equal the original");
  expect(unixModificationTime(path) == 1700000000LL, wstring(L"time stamp of ") + path + L" restored");
}

// ---------------------------------------------------------------- shortcuts

wstring specialFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

const int kShortcutFolders[] = {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS, CSIDL_COMMON_DESKTOPDIRECTORY,
                                CSIDL_SENDTO};

void deleteShortcuts(const wstring& name) {
  for (int csidl : kShortcutFolders) DeleteFileW((specialFolder(csidl) + L"\\" + name + L".lnk").c_str());
}

struct LinkFields {
  bool loaded = false;
  wstring path, workingDirectory, iconLocation;
  int iconIndex = -1;
};

LinkFields readShortcut(const wstring& file) {
  LinkFields fields;
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return fields;
  }
  IPersistFile* persist = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
    if (SUCCEEDED(persist->Load(file.c_str(), STGM_READ))) {
      wchar_t text[MAX_PATH] = {};
      fields.loaded = true;
      link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
      fields.path = text;
      text[0] = 0;
      link->GetWorkingDirectory(text, MAX_PATH);
      fields.workingDirectory = text;
      text[0] = 0;
      link->GetIconLocation(text, MAX_PATH, &fields.iconIndex);
      fields.iconLocation = text;
    }
    persist->Release();
  }
  link->Release();
  return fields;
}

// One shortcut where it is expected, absent where it is not.
void expectShortcut(int csidl, const wstring& name, bool wanted, const wstring& target, const wstring& workDir) {
  const wstring file = specialFolder(csidl) + L"\\" + name + L".lnk";
  if (!wanted) {
    expect(!exists(file), L"no shortcut " + file);
    return;
  }
  if (!expect(exists(file), L"shortcut exists: " + file)) return;
  const LinkFields fields = readShortcut(file);
  if (!expect(fields.loaded, L"shortcut loads through IPersistFile: " + file)) return;
  expect(lstrcmpiW(fields.path.c_str(), target.c_str()) == 0,
         L"shortcut " + file + L" points to " + target + L" (is " + fields.path + L")");
  expect(lstrcmpiW(fields.workingDirectory.c_str(), workDir.c_str()) == 0,
         L"working directory of " + file + L" is " + workDir + L" (is " + fields.workingDirectory + L")");
  expect(lstrcmpiW(fields.iconLocation.c_str(), target.c_str()) == 0 && fields.iconIndex == 0,
         L"icon of " + file + L" is the target, index 0");
}

// ---------------------------------------------------------------- processes and windows

struct Child {
  PROCESS_INFORMATION info = {};
  bool started = false;
};

// Starts a program with the given command line (the program's path quoted first); with an
// output handle (inheritable), as its standard output and error.
Child launchCommand(wstring commandLine, const wstring& currentDir, HANDLE output = nullptr) {
  Child child;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  if (output) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = output;
  }
  // Under Wine a file whose previous process has just ended can still be busy for a moment.
  DWORD error = 0;
  for (int attempt = 0; attempt < 20 && !child.started; ++attempt) {
    if (attempt) Sleep(100);
    child.started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, output != nullptr, 0, nullptr,
                                   currentDir.c_str(), &startup, &child.info);
    if (!child.started) error = GetLastError();
  }
  expect(child.started, L"CreateProcessW starts " + commandLine + L" (error " + std::to_wstring(error) + L")");
  return child;
}

// Starts the case's self-extracting file, with arguments after its name when given.
Child launch(const wchar_t* caseName, const wstring& currentDir, const wstring& arguments = L"",
             HANDLE output = nullptr) {
  wstring commandLine = L"\"" + g_workDir + L"\\cases\\" + caseName + L".exe\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  return launchCommand(commandLine, currentDir, output);
}

// Waits for the exit; the exit code, or -1 after the timeout (the process is then killed).
long waitExit(Child& child, DWORD milliseconds = 60000) {
  if (!child.started) return -1;
  long code = -1;
  if (WaitForSingleObject(child.info.hProcess, milliseconds) == WAIT_OBJECT_0) {
    DWORD exitCode = 0;
    GetExitCodeProcess(child.info.hProcess, &exitCode);
    code = static_cast<long>(exitCode);
  } else {
    TerminateProcess(child.info.hProcess, 99);
    WaitForSingleObject(child.info.hProcess, 5000);
  }
  CloseHandle(child.info.hProcess);
  CloseHandle(child.info.hThread);
  child.started = false;
  return code;
}

bool hasExited(const Child& child) { return WaitForSingleObject(child.info.hProcess, 0) == WAIT_OBJECT_0; }

wstring className(HWND window) {
  wchar_t name[128] = {};
  GetClassNameW(window, name, 128);
  return name;
}

// WM_GETTEXT goes to the owning thread, so edit boxes report their current text too.
wstring textOf(HWND window) {
  wchar_t text[1024] = {};
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &ignored);
  return text;
}

LRESULT sendTo(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &result);
  return static_cast<LRESULT>(result);
}

struct WindowSearch {
  DWORD processId;
  std::function<bool(HWND)> matches;
  HWND found = nullptr;
};

BOOL CALLBACK searchWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId == search->processId && search->matches(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// Polls the process's top-level windows until one matches; null after the timeout or when
// the process has ended.
HWND waitForWindow(const Child& child, std::function<bool(HWND)> matches, DWORD milliseconds = 20000) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    WindowSearch search{child.info.dwProcessId, matches};
    EnumWindows(searchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    if (hasExited(child)) return nullptr;
    Sleep(20);
  }
  return nullptr;
}

// The stub's windows are told apart by their controls: the progress window is a dialog too.
bool isDestinationDialog(HWND window) { return IsWindowVisible(window) && GetDlgItem(window, IDC_DEST_EDIT); }

bool isProgressWindow(HWND window) {
  return IsWindowVisible(window) && GetDlgItem(window, IDC_ABORT) && GetDlgItem(window, IDC_PROGRESS_BAR);
}

bool isMessageBox(HWND window) {
  return className(window) == L"#32770" && IsWindowVisible(window) && !GetDlgItem(window, IDC_DEST_EDIT) &&
         !GetDlgItem(window, IDC_ABORT);
}

BOOL CALLBACK collectStaticText(HWND window, LPARAM context) {
  if (className(window) == L"Static") *reinterpret_cast<wstring*>(context) += textOf(window);
  return TRUE;
}

wstring messageBoxText(HWND box) {
  wstring text;
  EnumChildWindows(box, collectStaticText, reinterpret_cast<LPARAM>(&text));
  return text;
}

// Waits for a message box, checks that its text contains the expected text, and closes it.
void answerMessageBox(const Child& child, const wstring& expected) {
  HWND box = waitForWindow(child, isMessageBox);
  if (!expect(box != nullptr, L"a message box appears: " + expected)) return;
  const wstring text = messageBoxText(box);
  expect(text.find(expected) != wstring::npos, L"message box says \"" + expected + L"\" (says \"" + text + L"\")");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
}

// Until the process ends (60 s at most): every message box it shows is a failure, reported
// with its text and closed.
void expectNoMessageUntilExit(const Child& child, const wstring& what) {
  const DWORD start = GetTickCount();
  while (child.started && !hasExited(child) && GetTickCount() - start < 60000) {
    if (HWND box = waitForWindow(child, isMessageBox, 500)) {
      expect(false, what + L" shows no message (shows \"" + messageBoxText(box) + L"\")");
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
  }
}

// ---------------------------------------------------------------- the dialog

bool isChecked(HWND dialog, int id) { return sendTo(GetDlgItem(dialog, id), BM_GETCHECK) == BST_CHECKED; }
bool isEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)); }

// The check box's state as the option byte gives it: OPTION_ON checks, OPTION_CHANGEABLE enables.
void expectBox(HWND dialog, int id, int optionByte, const wchar_t* name) {
  expect(isChecked(dialog, id) == ((optionByte & 2) != 0), wstring(name) + L" box checked as option " + std::to_wstring(optionByte));
  expect(isEnabled(dialog, id) == ((optionByte & 1) != 0), wstring(name) + L" box enabled as option " + std::to_wstring(optionByte));
}

struct ControlText {
  int id;  // -1: the folder field's label
  const wchar_t* text;
};

// Every control's text as the dialog shows it.
void expectControlTexts(HWND dialog, std::initializer_list<ControlText> texts) {
  for (const ControlText& control : texts) {
    const wstring shown = textOf(GetDlgItem(dialog, control.id));
    expect(shown == control.text, wstring(L"control text ") + control.text + L" (is " + shown + L")");
  }
}

void click(HWND dialog, int id) { sendTo(GetDlgItem(dialog, id), BM_CLICK); }

void setDestination(HWND dialog, const wstring& folder) {
  sendTo(GetDlgItem(dialog, IDC_DEST_EDIT), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
}

HWND waitForDialog(const Child& child) {
  HWND dialog = waitForWindow(child, isDestinationDialog);
  expect(dialog != nullptr, L"the destination dialog appears");
  return dialog;
}

// The program to run writes launched.txt with its current directory; ShellExecuteW does not
// wait for it, so give it a moment.
wstring launchedRecord(const wstring& folder, DWORD milliseconds) {
  const wstring record = folder + L"\\launched.txt";
  const DWORD start = GetTickCount();
  std::string bytes;
  while (GetTickCount() - start < milliseconds) {
    if (readWholeFile(record, bytes) && !bytes.empty()) {
      return wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    }
    Sleep(100);
  }
  return L"";
}

// Whether any temporary file of the run is left below folder.
bool temporaryFileLeft(const wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  bool left = false;
  if (search == INVALID_HANDLE_VALUE) return false;
  do {
    const wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (name.find(L".zsfx-part") != wstring::npos) left = true;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) left = left || temporaryFileLeft(folder + L"\\" + name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return left;
}

// ---------------------------------------------------------------- scenarios

// The stub without any payload: start-up fails without a window or a message.
void scenarioNoPayload() {
  const wstring run = freshRunFolder(L"nopayload");
  wstring commandLine = L"\"" + g_workDir + L"\\stub.exe\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  Child child;
  child.started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, run.c_str(),
                                 &startup, &child.info);
  expect(child.started, L"the bare stub starts");
  HWND window = waitForWindow(child, [](HWND w) { return IsWindowVisible(w) != FALSE; }, 3000);
  expect(window == nullptr, L"no window without a payload");
  const long code = waitExit(child, 10000);
  expect(code != 0 && code != -1, L"start-up fails with a non-zero exit code (" + std::to_wstring(code) + L")");
  expect(folderEntries(run).empty(), L"nothing extracted");
}

// A payload whose settings block is the single byte 0: no dialog, everything into the
// current directory, exit code 0.
void scenarioNoSettings() {
  const wstring run = freshRunFolder(L"nosettings");
  Child child = launch(L"nosettings", run);
  const DWORD start = GetTickCount();
  bool dialogSeen = false;
  while (!hasExited(child) && GetTickCount() - start < 60000) {
    WindowSearch search{child.info.dwProcessId, isDestinationDialog};
    EnumWindows(searchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) dialogSeen = true;
    Sleep(10);
  }
  expect(!dialogSeen, L"no dialog without settings");
  expect(waitExit(child) == 0, L"exit code 0");
  for (const wchar_t* name : {L"empty.txt", L"one.txt", L"prog.bin", L"runs.bin", L"small.txt", L"text.txt"}) {
    expectCorpusFile(run, name);
  }
}

// Every method of the corpus, decoded by the stub itself (its build differs from zsfx's: no
// exceptions, its own entry point). A message box (a member that fails) is read, reported
// and closed.
void scenarioMethods() {
  const wchar_t* corpusNames[] = {L"empty.txt", L"one.txt", L"prog.bin", L"runs.bin", L"small.txt", L"text.txt"};
  for (const wchar_t* method : {L"lh1", L"lh2", L"lh3", L"lh4", L"lh5", L"lh6", L"lh7", L"lzs", L"lz5", L"lz4"}) {
    const wstring caseName = wstring(L"method-") + method;
    const wstring run = freshRunFolder(caseName.c_str());
    Child child = launch(caseName.c_str(), run);
    expectNoMessageUntilExit(child, caseName);
    expect(waitExit(child) == 0, caseName + L" exit code 0");
    for (const wchar_t* name : corpusNames) expectCorpusFile(run, name);
  }
}

// Options 3, 2, 1 shown as given; the user unchecks the Start menu, checks Send To and types
// a destination four levels deep that does not exist yet.
void scenarioDialogOptions() {
  const wstring name = L"Zolt テスト";
  deleteShortcuts(name);
  const wstring run = freshRunFolder(L"dialog1");
  Child child = launch(L"dialog1", run);
  HWND dialog = waitForDialog(child);
  if (!dialog) return (void)waitExit(child, 1000);
  expect(textOf(dialog) == L"解凍テスト1", L"dialog title is the settings' title (is " + textOf(dialog) + L")");
  const wstring shown = textOf(GetDlgItem(dialog, IDC_DEST_EDIT));
  expect(lstrcmpiW(shown.c_str(), (run + L"\\preset1").c_str()) == 0,
         L"relative preset destination shown under the current directory (is " + shown + L")");
  expectControlTexts(dialog, {{-1, L"解凍先ﾌｫﾙﾀﾞ(&F):"},
                              {IDC_BROWSE, L"参照(&R)"},
                              {IDC_STARTMENU, L"スタートメニューに登録する(&M)"},
                              {IDC_DESKTOP, L"デスクトップにショートカットを作成する(&D)"},
                              {IDC_SENDTO, L"「送る」に登録する(&T)"},
                              {IDOK, L"OK"},
                              {IDCANCEL, L"キャンセル"}});
  expectBox(dialog, IDC_STARTMENU, 3, L"Start-menu");
  expectBox(dialog, IDC_DESKTOP, 2, L"desktop");
  expectBox(dialog, IDC_SENDTO, 1, L"Send-To");
  click(dialog, IDC_STARTMENU);
  click(dialog, IDC_SENDTO);
  const wstring dest = run + L"\\deep\\a\\b\\c";
  setDestination(dialog, dest);
  click(dialog, IDOK);
  expect(waitExit(child) == 0, L"exit code 0");
  for (const wchar_t* file : {L"one.txt", L"small.txt", L"text.txt"}) expectCorpusFile(dest, file);
  expect(exists(dest + L"\\bin\\launched.exe"), L"bin\\launched.exe extracted");
  expect(!exists(run + L"\\preset1"), L"the preset destination is not created");
  const wstring target = dest + L"\\bin\\launched.exe";
  expectShortcut(CSIDL_COMMON_PROGRAMS, name, false, target, dest);
  expectShortcut(CSIDL_PROGRAMS, name, false, target, dest);
  expectShortcut(CSIDL_COMMON_DESKTOPDIRECTORY, name, true, target, dest);
  expectShortcut(CSIDL_SENDTO, name, true, target, dest);
  expect(!exists(dest + L"\\bin\\launched.txt"), L"no program without programToRun");
  deleteShortcuts(name);
}

// Options 2, 0, 3 kept as they are; the default title and destination; a relative folder
// typed into the dialog is made a full path once; the program is opened afterwards.
void scenarioDialogRelative() {
  const wstring name = L"launched";
  deleteShortcuts(name);
  const wstring run = freshRunFolder(L"dialog2");
  Child child = launch(L"dialog2", run);
  HWND dialog = waitForDialog(child);
  if (!dialog) return (void)waitExit(child, 1000);
  expect(textOf(dialog) == L"Zolt SFX", L"default title (is " + textOf(dialog) + L")");
  const wstring shown = textOf(GetDlgItem(dialog, IDC_DEST_EDIT));
  expect(lstrcmpiW(shown.c_str(), run.c_str()) == 0, L"empty destination is the current directory (is " + shown + L")");
  expectBox(dialog, IDC_STARTMENU, 2, L"Start-menu");
  expectBox(dialog, IDC_DESKTOP, 0, L"desktop");
  expectBox(dialog, IDC_SENDTO, 3, L"Send-To");
  setDestination(dialog, L"rel\\dir");
  click(dialog, IDOK);
  expect(waitExit(child) == 0, L"exit code 0");
  const wstring dest = run + L"\\rel\\dir";
  expectCorpusFile(dest, L"text.txt");
  expect(!exists(dest + L"\\rel"), L"the relative destination is resolved once (no rel\\dir\\rel\\dir)");
  const wstring target = dest + L"\\bin\\launched.exe";
  expectShortcut(CSIDL_COMMON_PROGRAMS, name, true, target, dest);
  expectShortcut(CSIDL_COMMON_DESKTOPDIRECTORY, name, false, target, dest);
  expectShortcut(CSIDL_SENDTO, name, true, target, dest);
  const wstring launchedIn = launchedRecord(dest + L"\\bin", 15000);
  expect(lstrcmpiW(launchedIn.c_str(), dest.c_str()) == 0,
         L"the program was opened with the destination as current directory (" + launchedIn + L")");
  deleteShortcuts(name);
}

// Cancel: nothing is created, exit code 2.
void scenarioCancel() {
  const wstring run = freshRunFolder(L"cancel");
  Child child = launch(L"cancel", run);
  HWND dialog = waitForDialog(child);
  if (dialog) {
    click(dialog, IDC_SENDTO);
    setDestination(dialog, run + L"\\typed");
    click(dialog, IDCANCEL);
  }
  expect(waitExit(child) == 2, L"exit code 2 after cancel");
  expect(folderEntries(run).empty(), L"nothing extracted or created after cancel");
}

// WM_CLOSE to the hidden main window while the dialog is up: the program ends, nothing is
// extracted and no worker is started on a destroyed window.
void scenarioCloseDuringDialog() {
  const wstring run = freshRunFolder(L"closedialog");
  Child child = launch(L"cancel", run);
  if (waitForDialog(child)) {
    HWND main = waitForWindow(child, [](HWND w) { return className(w) == L"ZOLTSFXCLASS"; });
    if (expect(main != nullptr, L"the hidden main window exists")) PostMessageW(main, WM_CLOSE, 0, 0);
  }
  expect(waitExit(child, 20000) == 2, L"exit code 2 after closing");
  expect(folderEntries(run).empty(), L"nothing extracted after closing during the dialog");
}

// "フォルダを作成できません", nothing extracted, exit code 1, for: a destination below an
// existing file; an existing file itself (nothing needs creating, but the folder cannot be
// entered: the run must not go on in the previous current directory); an empty text.
void scenarioCannotCreate() {
  const wstring run = freshRunFolder(L"nocreate");
  writeWholeFile(run + L"\\blocker", "x", 1);
  for (const wstring& typed : {run + L"\\blocker\\sub", run + L"\\blocker", wstring()}) {
    Child child = launch(L"nocreate", run);
    HWND dialog = waitForDialog(child);
    if (!dialog) {
      waitExit(child, 1000);
      continue;
    }
    setDestination(dialog, typed);
    click(dialog, IDOK);
    // The folder whole, then the system's reason.
    answerMessageBox(child, L"フォルダ " + typed + L" を作成できません。\n");
    expect(waitExit(child) == 1, L"exit code 1 for destination \"" + typed + L"\"");
    const std::vector<wstring> entries = folderEntries(run);
    expect(entries.size() == 1 && entries[0] == L"blocker", L"nothing extracted for destination \"" + typed + L"\"");
  }
}

// A member whose CRC-16 does not match: the box names its path, its broken data is not
// kept, the run stops there, and neither shortcuts nor the program follow.
void scenarioCrcError() {
  const wstring name = L"crc-test";
  deleteShortcuts(name);
  const wstring run = freshRunFolder(L"crc");
  Child child = launch(L"crc", run);
  HWND dialog = waitForDialog(child);
  if (dialog) click(dialog, IDOK);
  answerMessageBox(child, L"ファイル corrupt.txt が壊れています。");
  expect(waitExit(child) == 1, L"exit code 1 after a CRC error");
  expect(exists(run + L"\\bin\\launched.exe"), L"the member before the damaged one stays");
  expect(!exists(run + L"\\corrupt.txt"), L"the damaged file is not kept");
  expect(!exists(run + L"\\never.txt"), L"no member after the damaged one");
  for (int csidl : kShortcutFolders) expectShortcut(csidl, name, false, L"", L"");
  expect(launchedRecord(run + L"\\bin", 2000).empty(), L"no program after a failed run");
}

// Points a shell folder of the machine somewhere that does not exist, for one scenario.
class ShellFolderOverride {
 public:
  ShellFolderOverride(const wchar_t* name, const wchar_t* path) : name_(name) {
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", 0,
                  KEY_QUERY_VALUE | KEY_SET_VALUE, &key_);
    DWORD size = sizeof saved_;
    saved_[0] = 0;
    if (RegQueryValueExW(key_, name, nullptr, &savedType_, reinterpret_cast<BYTE*>(saved_), &size) != ERROR_SUCCESS) {
      savedType_ = 0;
    }
    savedSize_ = size;
    RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), (lstrlenW(path) + 1) * sizeof(wchar_t));
  }
  ~ShellFolderOverride() {
    if (savedType_) {
      RegSetValueExW(key_, name_, 0, savedType_, reinterpret_cast<const BYTE*>(saved_), savedSize_);
    } else {
      RegDeleteValueW(key_, name_);
    }
    RegCloseKey(key_);
  }

 private:
  const wchar_t* name_;
  HKEY key_ = nullptr;
  DWORD savedType_ = 0, savedSize_ = 0;
  wchar_t saved_[MAX_PATH];
};

// Special folders that cannot be located: the common programs folder falls back to the
// user's own, and a desktop that cannot be located gets no shortcut (with an empty folder
// path the shortcut would land at the root of the current drive).
void scenarioNoSpecialFolder() {
  const wstring name = L"nofolder-test";
  deleteShortcuts(name);
  const wstring run = freshRunFolder(L"nofolder");
  const wstring rootLink = run.substr(0, 2) + L"\\" + name + L".lnk";
  DeleteFileW(rootLink.c_str());
  {
    ShellFolderOverride programs(L"Common Programs", L"Q:\\nowhere\\programs");
    ShellFolderOverride desktop(L"Common Desktop", L"Q:\\nowhere\\desktop");
    LPITEMIDLIST items = nullptr;
    const HRESULT located = SHGetSpecialFolderLocation(nullptr, CSIDL_COMMON_DESKTOPDIRECTORY, &items);
    if (SUCCEEDED(located)) ILFree(items);
    expect(FAILED(located), L"the common desktop cannot be located now");
    Child child = launch(L"nofolder", run);
    HWND dialog = waitForDialog(child);
    if (dialog) click(dialog, IDOK);
    // The shortcut that could not be made is named, with the system's reason.
    answerMessageBox(child, L"ショートカット nofolder-test を作成できません。\n");
    expect(waitExit(child) == 1, L"exit code 1: the desktop shortcut could not be made");
  }
  const wstring target = run + L"\\bin\\launched.exe";
  expectShortcut(CSIDL_PROGRAMS, name, true, target, run);
  expect(!exists(rootLink), L"no shortcut at the root of the drive: " + rootLink);
  DeleteFileW(rootLink.c_str());
  expectShortcut(CSIDL_COMMON_DESKTOPDIRECTORY, name, false, L"", L"");
  deleteShortcuts(name);
}

// Starts the large-member case, confirms the dialog and waits until the progress window shows
// big.bin. Returns the progress window, or null.
HWND runUntilBigMember(Child& child) {
  HWND dialog = waitForDialog(child);
  if (!dialog) return nullptr;
  click(dialog, IDOK);
  HWND window = waitForWindow(child, isProgressWindow);
  if (!expect(window != nullptr, L"the progress window appears")) return nullptr;
  HWND line = FindWindowExW(window, nullptr, L"Static", nullptr);
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 30000 && !hasExited(child)) {
    if (textOf(line).find(L"big.bin") != wstring::npos) return window;
    Sleep(1);
  }
  expect(false, L"big.bin is shown while it is extracted (the run ended first: make it larger)");
  return nullptr;
}

// A destination relative to Program Files, and a member path too wide for the text line,
// which is shown shortened with an ellipsis (the "shots" case of the screenshots).
void scenarioMemberPath() {
  const wstring run = freshRunFolder(L"memberpath");
  const wstring dest = specialFolder(CSIDL_PROGRAM_FILES) + L"\\Zolt\\サンプル";
  Child child = launch(L"shots", run);
  HWND dialog = waitForDialog(child);
  if (!dialog) return (void)waitExit(child, 1000);
  const wstring shown = textOf(GetDlgItem(dialog, IDC_DEST_EDIT));
  expect(lstrcmpiW(shown.c_str(), dest.c_str()) == 0, L"destination based on Program Files (is " + shown + L")");
  click(dialog, IDOK);
  HWND window = waitForWindow(child, isProgressWindow);
  if (expect(window != nullptr, L"the progress window appears")) {
    HWND line = FindWindowExW(window, nullptr, L"Static", nullptr);
    wstring text;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 30000 && !hasExited(child) && text.find(L"big.bin") == wstring::npos) {
      text = textOf(line);
      Sleep(1);
    }
    expect(text.find(L"...") != wstring::npos && text.size() >= 7 && text.compare(text.size() - 7, 7, L"big.bin") == 0,
           L"the long path is shortened with an ellipsis, keeping the name (shows " + text + L")");
    sendTo(GetDlgItem(window, IDC_ABORT), BM_CLICK);
  }
  expect(waitExit(child) == 2, L"exit code 2 after abort");
  expect(exists(dest + L"\\documents\\manuals\\japanese\\setup-guide\\readme.txt"), L"first member extracted under Program Files");
  removeTree(specialFolder(CSIDL_PROGRAM_FILES) + L"\\Zolt");
}

// What an earlier install left of the files the large case would replace.
void installOldBigAndAfter(const wstring& run) {
  writeWholeFile(run + L"\\big.bin", "big.bin version 1", 17);
  writeWholeFile(run + L"\\after.txt", "after.txt version 1", 19);
}

void expectStoppedAtBigMember(const wstring& run, const wstring& shortcutName) {
  expectCorpusFile(run, L"one.txt");
  expect(exists(run + L"\\bin\\launched.exe"), L"members before the large one stay");
  expect(fileBytes(run + L"\\big.bin") == "big.bin version 1", L"the large member's target keeps what it held");
  expect(fileBytes(run + L"\\after.txt") == "after.txt version 1", L"the member after the large one is untouched");
  expect(!temporaryFileLeft(run), L"the temporary file of the large member is gone");
  for (int csidl : kShortcutFolders) expectShortcut(csidl, shortcutName, false, L"", L"");
  expect(launchedRecord(run + L"\\bin", 2000).empty(), L"no program after an abort");
}

// The abort button during a large member, pressed twice.
void scenarioAbort() {
  const wstring name = L"abort-test";
  deleteShortcuts(name);
  const wstring run = freshRunFolder(L"abort");
  installOldBigAndAfter(run);
  SetCursorPos(300, 200);  // the window is placed by the pointer
  Child child = launch(L"abort", run);
  if (HWND window = runUntilBigMember(child)) {
    expect(textOf(window) == L"中断テスト", L"the progress window takes the settings' title (is " + textOf(window) + L")");
    RECT frame;
    GetWindowRect(window, &frame);
    const POINT cursor = {300, 200};  // set before the start, see below
    const LONG width = frame.right - frame.left;
    expect(frame.left == cursor.x - width / 2 && frame.top == cursor.y + 32,
           L"progress window centred under the pointer (at " + std::to_wstring(frame.left) + L"," +
               std::to_wstring(frame.top) + L", pointer " + std::to_wstring(cursor.x) + L"," + std::to_wstring(cursor.y) + L")");
    HWND abortButton = GetDlgItem(window, IDC_ABORT);
    expect(textOf(abortButton) == L"中止", L"abort button says 中止");
    HWND bar = FindWindowExW(window, nullptr, PROGRESS_CLASSW, nullptr);
    expect(bar != nullptr, L"the progress bar exists");
    sendTo(abortButton, BM_CLICK);
    sendTo(abortButton, BM_CLICK);
  }
  expect(waitExit(child) == 2, L"exit code 2 after abort");
  expectStoppedAtBigMember(run, name);
}

// Closing the window during the run: the worker is stopped and waited for before anything
// is released, the partial file is deleted, and the program ends.
void scenarioCloseDuringRun() {
  const wstring name = L"close-test";
  deleteShortcuts(name);
  const wstring run = freshRunFolder(L"close");
  installOldBigAndAfter(run);
  Child child = launch(L"close", run);
  if (HWND window = runUntilBigMember(child)) PostMessageW(window, WM_CLOSE, 0, 0);
  expect(waitExit(child, 20000) == 2, L"exit code 2 soon after closing");
  expectStoppedAtBigMember(run, name);
}

// Resources and the mark: what Explorer and archive tools look at without running the stub.
void scenarioResources() {
  const wstring stub = g_workDir + L"\\stub.exe";
  std::string bytes;
  if (!expect(readWholeFile(stub, bytes) && bytes.size() > 64, L"stub.exe readable")) return;
  expect(bytes.compare(36, 10, "LHA's SFX ") == 0, L"\"LHA's SFX \" at file offset 36");

  HMODULE image = LoadLibraryExW(stub.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!expect(image != nullptr, L"stub.exe loads as a resource image")) return;
  const WORD japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
  auto resource = [&](LPCWSTR type, LPCWSTR name, DWORD* size) -> const BYTE* {
    HRSRC found = FindResourceExW(image, type, name, japanese);
    if (!found) return nullptr;
    *size = SizeofResource(image, found);
    return static_cast<const BYTE*>(LockResource(LoadResource(image, found)));
  };

  DWORD size = 0;
  const BYTE* group = resource(RT_GROUP_ICON, MAKEINTRESOURCEW(102), &size);
  if (expect(group != nullptr, L"group icon 102 in language 1041")) {
    const WORD count = *reinterpret_cast<const WORD*>(group + 4);
    std::wstring sizes;
    bool all32 = true;
    for (WORD i = 0; i < count; ++i) {
      const BYTE* entry = group + 6 + 14 * i;  // GRPICONDIRENTRY
      sizes += std::to_wstring(entry[0] ? entry[0] : 256) + L" ";
      all32 = all32 && *reinterpret_cast<const WORD*>(entry + 6) == 32;
    }
    expect(sizes == L"16 24 32 48 256 ", L"icon sizes 16, 24, 32, 48, 256 (are " + sizes + L")");
    expect(all32, L"every icon image has 32 bits per pixel");
    for (int pixels : {16, 24, 32, 48, 256}) {
      HICON icon = static_cast<HICON>(LoadImageW(image, MAKEINTRESOURCEW(102), IMAGE_ICON, pixels, pixels, 0));
      expect(icon != nullptr, L"icon loads at " + std::to_wstring(pixels) + L" pixels");
      if (icon) DestroyIcon(icon);
    }
  }

  // Both windows are extended dialog templates: DLGTEMPLATEEX, whose fixed part is followed
  // by the menu, the class, the title and the font (point size, weight, italic, charset,
  // name).
#pragma pack(push, 2)
  struct TemplateHead {
    WORD version, signature;
    DWORD helpId, exStyle, style;
    WORD controls;
    short x, y, cx, cy;
  };
#pragma pack(pop)
  static_assert(sizeof(TemplateHead) == 26);
  const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
  const struct {
    int id;
    WORD language;
    DWORD exStyle, style;
    WORD controls, cx, cy;
    const wchar_t* className;
    const wchar_t* font;
  } templates[] = {
      {IDD_DESTINATION, japanese, WS_EX_APPWINDOW, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 8, 266,
       98, L"", L"MS UI Gothic"},
      {IDD_PROGRESS, japanese, 0, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT, 3, 150, 54, L"ZOLTSFXCLASS",
       L"MS UI Gothic"},
      {IDD_DESTINATION_ENGLISH, english, WS_EX_APPWINDOW, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
       8, 266, 98, L"", L"Segoe UI"},
      {IDD_PROGRESS_ENGLISH, english, 0, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT, 3, 150, 54, L"ZOLTSFXCLASS",
       L"Segoe UI"},
  };
  for (const auto& t : templates) {
    HRSRC found = FindResourceExW(image, RT_DIALOG, MAKEINTRESOURCEW(t.id), t.language);
    const BYTE* dialog = found ? static_cast<const BYTE*>(LockResource(LoadResource(image, found))) : nullptr;
    const wstring which = L"dialog " + std::to_wstring(t.id);
    if (!expect(dialog != nullptr, which + L" in language " + std::to_wstring(t.language))) continue;
    TemplateHead head;
    std::memcpy(&head, dialog, sizeof head);
    expect(head.version == 1 && head.signature == 0xFFFF, which + L" is an extended template");
    expect(head.exStyle == t.exStyle && head.style == t.style, which + L" styles");
    expect(head.controls == t.controls && head.cx == t.cx && head.cy == t.cy, which + L" controls and size in dialog units");
    const WORD* p = reinterpret_cast<const WORD*>(dialog + sizeof head);
    expect(p[0] == 0, which + L" has no menu");
    const wchar_t* windowClass = reinterpret_cast<const wchar_t*>(p + 1);
    if (*t.className) {
      expect(wstring(windowClass) == t.className, which + L" is of the class " + t.className);
    } else {
      expect(p[1] == 0, which + L" is of the standard dialog class");
    }
    const wchar_t* title = *windowClass ? windowClass + lstrlenW(windowClass) + 1 : windowClass + 1;
    expect(wstring(title) == L"Zolt SFX", which + L" title Zolt SFX");
    const WORD* font = reinterpret_cast<const WORD*>(title + lstrlenW(title) + 1);
    expect(font[0] == 9 && wstring(reinterpret_cast<const wchar_t*>(font + 3)) == t.font,
           which + L" font " + t.font + L" 9 pt");
  }

  const BYTE* manifest = resource(RT_MANIFEST, MAKEINTRESOURCEW(1), &size);
  if (expect(manifest != nullptr, L"manifest in language 1041")) {
    const std::string text(reinterpret_cast<const char*>(manifest), size);
    expect(text.find("level=\"highestAvailable\"") != std::string::npos, L"manifest asks for highestAvailable");
    expect(text.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"") != std::string::npos,
           L"manifest asks for Common-Controls 6.0.0.0");
    // Drawn at the monitor's DPI (Windows 8.1 reads the first, 10 and 11 the second), Windows
    // 10 and 11 as the supported systems, and paths beyond MAX_PATH.
    for (const char* entry : {">true/pm</dpiAware>", ">PerMonitorV2</dpiAwareness>",
                              "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",
                              ">true</longPathAware>"}) {
      expect(text.find(entry) != std::string::npos, L"the manifest holds " + wstring(entry, entry + std::strlen(entry)));
    }
  }
  FreeLibrary(image);
}

// A self-extracting file that zsfx make wrote from samples/ (run.sh makes it when a host
// build of zsfx exists): confirmed as the dialog offers it, it extracts into made\. run.sh
// then compares that tree with what zsfx extract writes on Linux.
void scenarioZsfxMade() {
  if (!exists(g_workDir + L"\\cases\\zsfxmade.exe")) {
    say(L"  (no host zsfx: skipped)");
    return;
  }
  const wstring run = freshRunFolder(L"zsfxmade");
  Child child = launch(L"zsfxmade", run);
  HWND dialog = waitForDialog(child);
  if (dialog) {
    expect(textOf(dialog) == L"Zolt サンプル", L"title from zsfx make (is " + textOf(dialog) + L")");
    const wstring shown = textOf(GetDlgItem(dialog, IDC_DEST_EDIT));
    expect(lstrcmpiW(shown.c_str(), (run + L"\\made").c_str()) == 0, L"destination from zsfx make (is " + shown + L")");
    click(dialog, IDOK);
  }
  expect(waitExit(child) == 0, L"exit code 0");
  expect(isFolder(run + L"\\made"), L"extracted into made\\");
}

// ---------------------------------------------------------------- switches

// Whether the process shows a visible top-level window before it ends (checked until the
// timeout; the caller then waits for the exit).
bool showsWindowBeforeExit(const Child& child, DWORD milliseconds = 60000) {
  const DWORD start = GetTickCount();
  while (child.started && !hasExited(child) && GetTickCount() - start < milliseconds) {
    WindowSearch search{child.info.dwProcessId, [](HWND w) { return IsWindowVisible(w) != FALSE; }};
    EnumWindows(searchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) return true;
    Sleep(10);
  }
  return false;
}

// /S: no dialog, no window; the settings decide: their folder (relative, with a space),
// the shortcuts whose option is on (changeable or not), and the program.
void scenarioSilent() {
  const wstring name = L"silent-test";
  deleteShortcuts(name);
  const wstring run = freshRunFolder(L"silent");
  Child child = launch(L"silent", run, L"/S");
  expect(!showsWindowBeforeExit(child), L"no window under /S");
  expect(waitExit(child) == 0, L"exit code 0");
  const wstring dest = run + L"\\silent out";
  for (const wchar_t* file : {L"one.txt", L"small.txt", L"text.txt"}) expectCorpusFile(dest, file);
  const wstring target = dest + L"\\bin\\launched.exe";
  expectShortcut(CSIDL_COMMON_PROGRAMS, name, true, target, dest);
  expectShortcut(CSIDL_COMMON_DESKTOPDIRECTORY, name, false, target, dest);
  expectShortcut(CSIDL_SENDTO, name, true, target, dest);
  const wstring launchedIn = launchedRecord(dest + L"\\bin", 15000);
  expect(lstrcmpiW(launchedIn.c_str(), dest.c_str()) == 0, L"the program was started (" + launchedIn + L")");
  deleteShortcuts(name);
}

// /NORUN and /LOG= (relative to the start directory, appended, UTF-8 without BOM, CR LF),
// with the switches written in other cases and with "-".
void scenarioNoRunAndLog() {
  const wstring name = L"silent-test";
  deleteShortcuts(name);
  const wstring run = freshRunFolder(L"norun");
  writeWholeFile(run + L"\\install.log", "earlier\r\n", 9);
  Child child = launch(L"silent", run, L"-s /norun /Log=install.log");
  expect(!showsWindowBeforeExit(child), L"no window under -s");
  expect(waitExit(child) == 0, L"exit code 0");
  const wstring dest = run + L"\\silent out";
  expectCorpusFile(dest, L"text.txt");
  expectShortcut(CSIDL_COMMON_PROGRAMS, name, true, dest + L"\\bin\\launched.exe", dest);
  expect(launchedRecord(dest + L"\\bin", 3000).empty(), L"no program with /NORUN");
  const std::string log = fileBytes(run + L"\\install.log");
  expect(log == "earlier\r\nOK one.txt\r\nOK small.txt\r\nOK text.txt\r\nOK bin/launched.exe\r\n",
         L"the log lists every member after what it held (is \"" + wstring(log.begin(), log.end()) + L"\")");
  deleteShortcuts(name);
}

// /S on a damaged file: exit code 1 and no box waiting for a click; the log says why, and so
// does the output that the caller redirected into a file.
void scenarioSilentDamaged() {
  const wstring run = freshRunFolder(L"silentcrc");
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  const wstring outputPath = run + L"\\output.txt";
  HANDLE output = CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS, 0, nullptr);
  Child child = launch(L"silent-crc", run, L"/S /LOG=\"" + run + L"\\crc log.txt\"", output);
  expect(!showsWindowBeforeExit(child), L"no window or box under /S");
  expect(waitExit(child, 30000) == 1, L"exit code 1");
  CloseHandle(output);
  expect(exists(run + L"\\out\\bin\\launched.exe"), L"the member before the damaged one is written");
  const std::string log = fileBytes(run + L"\\crc log.txt");
  expect(log == "OK bin/launched.exe\r\nMSG ファイル corrupt.txt が壊れています。\r\n",
         L"the log holds the written member and the message (" + std::to_wstring(log.size()) + L" bytes)");
  const std::string printed = fileBytes(outputPath);
  expect(printed == "ファイル corrupt.txt が壊れています。\r\n",
         L"the message goes to the redirected output (" + std::to_wstring(printed.size()) + L" bytes)");
}

// /D= with /S: an absolute folder with spaces and no quotes, and a relative quoted one
// with trailing spaces, made absolute against the start directory; then one that cannot be
// created.
void scenarioSilentDestination() {
  const wstring run = freshRunFolder(L"silentdest");
  const struct {
    wstring arguments, dest;
  } cases[] = {{L"/S /D=" + run + L"\\abs dir\\sub", run + L"\\abs dir\\sub"},
               {L"/NORUN /S /D=\"rel dir\\sub\"  ", run + L"\\rel dir\\sub"}};
  for (const auto& c : cases) {
    Child child = launch(L"cancel", run, c.arguments);
    expect(!showsWindowBeforeExit(child), L"no window for " + c.arguments);
    expect(waitExit(child) == 0, L"exit code 0 for " + c.arguments);
    for (const wchar_t* file : {L"one.txt", L"text.txt"}) expectCorpusFile(c.dest, file);
  }
  expect(!exists(run + L"\\out"), L"the settings' folder is not used");
  // A folder below a file cannot be created: exit code 1, no box waiting for a click.
  writeWholeFile(run + L"\\blocker", "x", 1);
  Child child = launch(L"cancel", run, L"/S /D=" + run + L"\\blocker\\sub");
  expect(!showsWindowBeforeExit(child), L"no window or box when the folder cannot be created");
  expect(waitExit(child, 30000) == 1, L"exit code 1 when the folder cannot be created");
}

// /D= without /S fills the dialog's folder field, made absolute.
void scenarioDestinationInDialog() {
  const wstring run = freshRunFolder(L"dialogdest");
  Child child = launch(L"cancel", run, L"/D=typed dir");
  HWND dialog = waitForDialog(child);
  if (!dialog) return (void)waitExit(child, 1000);
  const wstring shown = textOf(GetDlgItem(dialog, IDC_DEST_EDIT));
  expect(lstrcmpiW(shown.c_str(), (run + L"\\typed dir").c_str()) == 0, L"the dialog shows the /D= folder (is " + shown + L")");
  click(dialog, IDOK);
  expect(waitExit(child) == 0, L"exit code 0");
  expectCorpusFile(run + L"\\typed dir", L"one.txt");
}

// /? shows the switches and ends with 0; an unknown switch shows them and ends with 3, with
// /S without any window. Nothing is extracted.
void scenarioHelpAndUnknownSwitch() {
  const wstring run = freshRunFolder(L"switches");
  for (const wchar_t* arguments : {L"/?", L"/X"}) {
    Child child = launch(L"cancel", run, arguments);
    answerMessageBox(child, L"/NORUN");
    const long code = waitExit(child);
    expect(code == (arguments[1] == L'?' ? 0 : 3), wstring(L"exit code for ") + arguments + L" (is " + std::to_wstring(code) + L")");
  }
  Child child = launch(L"cancel", run, L"/S /bogus");
  expect(!showsWindowBeforeExit(child), L"no window for /S /bogus");
  expect(waitExit(child) == 3, L"exit code 3 for /S /bogus");
  expect(folderEntries(run).empty(), L"nothing extracted");
}

// An archive of names Windows refuses, made elsewhere: every member is written under the
// name zsfx extract gives it on Linux (run.sh compares both trees).
void scenarioRefusedNames() {
  const wstring run = freshRunFolder(L"refused");
  Child child = launch(L"refused", run);
  expectNoMessageUntilExit(child, L"refused");
  expect(waitExit(child) == 0, L"exit code 0");
  for (const wchar_t* name : {L"what_.txt", L"quote_x.txt", L"trail_", L"___\\g.txt", L"dir_\\colon_x.txt", L"_CON_",
                              L"after.txt"}) {
    expect(exists(run + L"\\" + name), wstring(L"written: ") + name);
  }
}

// The zsfx-made file signed afterwards with a test certificate (run.sh signs it): the
// signature follows the payload, and the file still extracts.
void scenarioSigned() {
  const wstring file = g_workDir + L"\\cases\\signed.exe";
  const std::string bytes = fileBytes(file);
  if (!expect(bytes.size() > 0x200, L"run.sh made cases\\signed.exe")) return;
  // The certificate table: data directory 4 of the PE32+ optional header.
  const uint32_t pe = *reinterpret_cast<const uint32_t*>(bytes.data() + 0x3C);
  const uint32_t certificateSize = *reinterpret_cast<const uint32_t*>(bytes.data() + pe + 24 + 112 + 4 * 8 + 4);
  expect(certificateSize > 0, L"the file carries a signature");
  const wstring run = freshRunFolder(L"signed");
  Child child = launch(L"signed", run, L"/S");
  expect(waitExit(child) == 0, L"exit code 0");
  expect(exists(run + L"\\made\\README.txt"), L"extracted into made\\");
}

// ---------------------------------------------------------------- failed downloads

// What the stub says of a download that is cut or damaged.
constexpr char kDamagedDownloadUtf8[] =
    "このファイルは壊れているか、ダウンロードが途中で切れています。もう一度ダウンロードしてください。";

// A cut or damaged download (make_cases.py cuts and flips a file with the trailer) writes
// nothing: no destination folder, no file, only the log. With /S the message goes to the log
// and to the output the caller redirected; with the dialog, it is a box before the dialog.
void scenarioDamagedDownloads() {
  const std::string message(kDamagedDownloadUtf8);
  for (const wchar_t* name : {L"download-cut-boundary", L"download-cut-header", L"download-cut-settings",
                              L"download-cut-10", L"download-cut-50", L"download-cut-99", L"download-flipped"}) {
    const wstring run = freshRunFolder(name);
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    HANDLE output = CreateFileW((run + L"\\output.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                CREATE_ALWAYS, 0, nullptr);
    Child child = launch(name, run, L"/S /LOG=\"" + run + L"\\log.txt\"", output);
    expect(!showsWindowBeforeExit(child), wstring(L"no window or box: ") + name);
    expect(waitExit(child, 30000) == 1, wstring(L"exit code 1: ") + name);
    CloseHandle(output);
    expect(fileBytes(run + L"\\log.txt") == "MSG " + message + "\r\n", wstring(L"the log holds the message: ") + name);
    expect(fileBytes(run + L"\\output.txt") == message + "\r\n", wstring(L"the output holds the message: ") + name);
    expect(folderEntries(run).size() == 2, wstring(L"nothing but the log and the output: ") + name);
  }
  const wstring run = freshRunFolder(L"download-dialog");
  Child child = launch(L"download-cut-boundary", run);
  answerMessageBox(child, L"もう一度ダウンロードしてください。");
  expect(waitExit(child) == 1, L"exit code 1 after the box");
  expect(folderEntries(run).empty(), L"nothing created after the box");
  // The whole download, whose trailer zlib computed, is accepted.
  const wstring whole = freshRunFolder(L"download-whole");
  Child accepted = launch(L"download-whole", whole, L"/S");
  expect(waitExit(accepted) == 0, L"the whole download extracts");
  expectCorpusFile(whole + L"\\out", L"prog.bin");
}

// Too little room on the destination's volume: refused before anything is written, with
// both figures in MB. run.sh maps a 4 MiB tmpfs as drive T: where it may mount one (as root,
// as in CI); the file holds 5 MiB.
void scenarioFreeSpace() {
  if (!isFolder(L"T:\\")) {
    say(L"  SKIP: no small drive T: (run.sh mounts one as root)");
    return;
  }
  removeTree(L"T:\\app");
  const wstring run = freshRunFolder(L"freespace");
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  HANDLE output =
      CreateFileW((run + L"\\output.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS, 0, nullptr);
  Child child = launch(L"five-mib", run, L"/S /D=T:\\app", output);
  expect(waitExit(child, 30000) == 1, L"exit code 1 without room");
  CloseHandle(output);
  const std::string printed = fileBytes(run + L"\\output.txt");
  expect(printed.find("ディスクの空き容量が足りません。") != std::string::npos && printed.find("10.5 MB") != std::string::npos,
         L"the message gives the need (10.5 MB) and what is free (" + std::to_wstring(printed.size()) + L" bytes)");
  expect(!exists(L"T:\\app"), L"nothing created on the small drive");
  // With the dialog: the box comes on OK, and the dialog's folder is not created either.
  Child dialogRun = launch(L"five-mib", run, L"/D=T:\\app");
  if (HWND dialog = waitForDialog(dialogRun)) click(dialog, IDOK);
  answerMessageBox(dialogRun, L"ディスクの空き容量が足りません。");
  expect(waitExit(dialogRun) == 1, L"exit code 1 after the box");
  expect(!exists(L"T:\\app"), L"nothing created after the box");
}

// Switches quoted whole, as scripts pass an argument that holds a space.
void scenarioQuotedSwitches() {
  const wstring run = freshRunFolder(L"quoted");
  // /D= comes last: it takes the rest of the line.
  Child child = launch(L"cancel", run, L"\"/S\" \"/LOG=" + run + L"\\my log.txt\" \"/D=" + run + L"\\quoted dir\\sub\"");
  expect(!showsWindowBeforeExit(child), L"no window with \"/S\"");
  expect(waitExit(child) == 0, L"exit code 0");
  expectCorpusFile(run + L"\\quoted dir\\sub", L"one.txt");
  expect(fileBytes(run + L"\\my log.txt").find("OK one.txt\r\n") != std::string::npos, L"the log named in quotes is written");
}

// ---------------------------------------------------------------- version 2 over version 1

std::string versionText(int version, int i) {
  const std::string name = "file" + std::to_string(i) + ".bin";
  if (version == 1) return "version 1 of " + name;
  std::string text;
  for (int k = 0; k < 50; ++k) text += "version 2 of " + name + "\r\n";
  return text;
}

// Version 1 of file i at path.
void writeVersion1(const wstring& path, int i) {
  const std::string text = versionText(1, i);
  writeWholeFile(path, text.data(), static_cast<DWORD>(text.size()));
}

// Version 1 of the five files, as an earlier install left them.
void installVersion1(const wstring& folder) {
  CreateDirectoryW(folder.c_str(), nullptr);
  for (int i = 0; i < 5; ++i) writeVersion1(folder + L"\\file" + std::to_wstring(i) + L".bin", i);
}

// Members 1 and 2 hold version 2, the third's target (at third) and members 4 and 5 still
// version 1, and no temporary file is left.
void expectVersion1Kept(const wstring& folder, const wstring& third, const wstring& what) {
  for (int i = 0; i < 5; ++i) {
    const wstring path = i == 2 ? third : folder + L"\\file" + std::to_wstring(i) + L".bin";
    expect(fileBytes(path) == versionText(i < 2 ? 2 : 1, i), what + L": " + path + L" holds version " + (i < 2 ? L"2" : L"1"));
  }
  expect(!temporaryFileLeft(folder), what + L": no temporary file left");
}

// The third of five members fails: its CRC, a folder or a read-only file in its place, a
// disk that fills while it is written (run.sh links tree\sub to the 4 MiB volume). Each run
// ends with exit code 1 and a message naming the member; the installed files are whole.
void scenarioFailedMemberKeepsTheOldFile() {
  const struct {
    const wchar_t* name;
    const wchar_t* caseName;
    const char* said;  // the start of the message
  } cases[] = {
      {L"crc", L"tree-crc", "ファイル file2.bin が壊れています。"},
      {L"read-only", L"tree", "ファイル file2.bin を作成できません。"},
      {L"folder", L"tree", "file2.bin を解凍できません。同名のフォルダが存在します。"},
      {L"full", L"tree-full", "ファイル sub/file2.bin を書き込めません。"},
  };
  for (const auto& c : cases) {
    const wstring kind = c.name, label = L"tree-" + kind;
    wstring run = freshRunFolder(label.c_str()), tree = run + L"\\tree", third = tree + L"\\file2.bin";
    if (kind == L"full") {
      // run.sh made fulldisk\tree, with sub on the small volume.
      tree = g_workDir + L"\\fulldisk\\tree";
      third = tree + L"\\sub\\file2.bin";
      if (!isFolder(tree + L"\\sub")) {
        say(L"  SKIP full: no small volume at fulldisk\\tree\\sub (run.sh mounts one as root)");
        continue;
      }
    }
    installVersion1(tree);
    if (kind == L"full") {
      DeleteFileW((tree + L"\\file2.bin").c_str());
      writeVersion1(third, 2);
    }
    if (kind == L"read-only") SetFileAttributesW(third.c_str(), FILE_ATTRIBUTE_READONLY);
    if (kind == L"folder") {
      DeleteFileW(third.c_str());
      CreateDirectoryW(third.c_str(), nullptr);
    }
    Child child = launch(c.caseName, run, L"/S /LOG=\"" + run + L"\\log.txt\" /D=" + tree);
    expect(waitExit(child, 30000) == 1, label + L": exit code 1");
    const std::string log = fileBytes(run + L"\\log.txt");
    expect(log.find(std::string("OK file1.bin\r\nMSG ") + c.said) != std::string::npos,
           label + L": the log names the member (" + std::to_wstring(log.size()) + L" bytes)");
    if (kind == L"folder") {
      expect(isFolder(third), label + L": the folder stays");
      RemoveDirectoryW(third.c_str());
      writeVersion1(third, 2);
    }
    SetFileAttributesW(third.c_str(), FILE_ATTRIBUTE_NORMAL);
    expectVersion1Kept(tree, third, label);
  }
}

// ---------------------------------------------------------------- long paths

// A folder of 270 characters: typed into the dialog and given with /D= under /S, the files
// land in exactly that folder. Win32 takes such a path with the \\?\ prefix only, and it
// cannot be the current directory.
void scenarioLongFolder() {
  const wstring run = freshRunFolder(L"longfolder");
  wstring folder = run + L"\\";
  while (folder.size() < 270 - 15) folder += L"long folder name " + std::to_wstring(folder.size()) + L"\\";
  folder.resize(270 - 15);
  if (folder.back() == L'\\' || folder.back() == L' ') folder.back() = L'x';
  folder += L"\\v1.2.3-release";
  expect(folder.size() == 270, L"the folder has 270 characters (" + std::to_wstring(folder.size()) + L")");
  const wstring extended = L"\\\\?\\" + folder;
  Child silent = launch(L"cancel", run, L"/S /D=" + folder);
  expect(waitExit(silent) == 0, L"exit code 0 with /D=");
  expect(exists(extended + L"\\one.txt") && exists(extended + L"\\text.txt"), L"the files are in the 270-character folder");
  removeTree(extended);
  Child child = launch(L"cancel", run);
  HWND dialog = waitForDialog(child);
  if (!dialog) return (void)waitExit(child, 1000);
  setDestination(dialog, folder);
  click(dialog, IDOK);
  expect(waitExit(child) == 0, L"exit code 0 with the typed folder");
  expect(exists(extended + L"\\one.txt"), L"the files are in the typed 270-character folder");
  expect(!exists(run + L"\\out"), L"nothing in the settings' folder");
}

// A member path of 400 characters below a destination of 250: the member is extracted, and
// the shortcut to it, which a shortcut file cannot hold, is refused with a message naming it.
void scenarioLongMember() {
  const wstring name = L"long-test";
  deleteShortcuts(name);
  const wstring run = freshRunFolder(L"longmember");
  wstring folder = run + L"\\dest";
  while (folder.size() < 250) folder += L"_";
  Child child = launch(L"long-member", run, L"/S /LOG=\"" + run + L"\\log.txt\" /D=" + folder);
  expect(waitExit(child) == 1, L"exit code 1: the shortcut cannot be made");
  wstring member = L"\\\\?\\" + folder;
  for (int i = 0; i < 4; ++i) member += L"\\p0" + std::to_wstring(i) + wstring(95, L'q');
  member += L"\\long.txt";
  expect(fileBytes(member) == "at the end of a long path\r\n", L"the 400-character member is extracted");
  const std::string log = fileBytes(run + L"\\log.txt");
  expect(log.find("MSG ショートカット ") != std::string::npos && log.find("long-test.lnk を作成できません。") != std::string::npos,
         L"the log names the shortcut that could not be made");
  expectShortcut(CSIDL_COMMON_PROGRAMS, name, false, L"", L"");
}

// A program that cannot be started: the box names it, and so does the log.
void scenarioNoProgram() {
  const wstring run = freshRunFolder(L"noprogram");
  Child child = launch(L"no-program", run, L"/LOG=\"" + run + L"\\log.txt\"");
  if (HWND dialog = waitForDialog(child)) click(dialog, IDOK);
  answerMessageBox(child, L"bin\\missing.exe を起動できません。");
  expect(waitExit(child) == 1, L"exit code 1");
  expect(fileBytes(run + L"\\log.txt").find("missing.exe を起動できません。") != std::string::npos,
         L"the log names the program");
}

// ---------------------------------------------------------------- screens and keys

// Keys as a user types them, to the foreground window: SendInput, the key down and up, with
// Alt held around it when asked.
void typeKey(WORD key, bool alt = false) {
  std::vector<INPUT> keys;
  auto add = [&keys](WORD vk, DWORD flags) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = flags;
    keys.push_back(input);
  };
  if (alt) add(VK_MENU, 0);
  add(key, 0);
  add(key, KEYEVENTF_KEYUP);
  if (alt) add(VK_MENU, KEYEVENTF_KEYUP);
  SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
  Sleep(150);
}

// The window with the keyboard focus in the thread that owns window.
HWND focusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
  return info.hwndFocus;
}

// The 32-pixel image of the stub's icon as 0xAARRGGBB values, top row first: the form in
// which a window's icon reaches the X server (_NET_WM_ICON).
std::vector<uint32_t> stubIconPixels() {
  std::vector<uint32_t> pixels(32 * 32);
  HMODULE image = LoadLibraryExW((g_workDir + L"\\stub.exe").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  HICON icon = image ? static_cast<HICON>(LoadImageW(image, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 32, 32, 0)) : nullptr;
  ICONINFO info = {};
  if (!icon || !GetIconInfo(icon, &info)) {
    if (image) FreeLibrary(image);
    return {};
  }
  BITMAPINFO format = {};
  format.bmiHeader = {sizeof(BITMAPINFOHEADER), 32, -32, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, info.hbmColor, 0, 32, pixels.data(), &format, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  DestroyIcon(icon);
  FreeLibrary(image);
  return rows == 32 ? pixels : std::vector<uint32_t>{};
}

// The icon images that Wine gave the X server for window (width, height, pixels, ...), or
// nothing. A Windows program cannot read X properties, so run.sh answers: the driver writes
// the X window's id into x11-icon.ask and waits for x11-icon.answer, xprop's _NET_WM_ICON.
std::vector<uint32_t> x11IconOf(HWND window) {
  const auto x11Window = reinterpret_cast<uintptr_t>(GetPropW(window, L"__wine_x11_whole_window"));
  if (x11Window == 0) return {};
  const wstring answer = g_workDir + L"\\x11-icon.answer";
  DeleteFileW(answer.c_str());
  const std::string id = std::to_string(x11Window);
  const wstring asking = g_workDir + L"\\x11-icon.asking", ask = g_workDir + L"\\x11-icon.ask";
  writeWholeFile(asking, id.data(), static_cast<DWORD>(id.size()));
  MoveFileExW(asking.c_str(), ask.c_str(), MOVEFILE_REPLACE_EXISTING);  // whole, never half written
  std::string text;
  for (int i = 0; i < 100 && !readWholeFile(answer, text); ++i) Sleep(100);
  std::vector<uint32_t> values;
  const size_t equals = text.find('=');
  for (const char* p = equals == std::string::npos ? "" : text.c_str() + equals + 1; *p;) {
    char* end = nullptr;
    const unsigned long value = strtoul(p, &end, 10);
    if (end == p) break;
    values.push_back(static_cast<uint32_t>(value));
    p = end + strspn(end, ", ");
  }
  return values;
}

// Every control of the dialog reached by its own mnemonic, each letter once; then, on the
// progress window, Enter and Space press nothing and Esc aborts as the button does.
void scenarioKeyboard() {
  const wstring name = L"keys-test";
  deleteShortcuts(name);
  const wstring run = freshRunFolder(L"keys");
  CreateDirectoryW((run + L"\\out").c_str(), nullptr);
  writeWholeFile(run + L"\\out\\big.bin", "big.bin version 1", 17);
  Child child = launch(L"keys", run);
  HWND dialog = waitForDialog(child);
  if (!dialog) return (void)waitExit(child, 1000);
  // While it is the only window shown, the dialog has a taskbar button with the stub's icon.
  // The icon is read back on the X side, as a taskbar sees it: Wine answers WM_GETICON from
  // another process with 0, even for an icon that the window's own process reads back. A
  // dialog without WM_SETICON would show Wine's own logo there instead.
  expect((GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW) != 0, L"the dialog has WS_EX_APPWINDOW");
  const std::vector<uint32_t> ours = stubIconPixels(), shown = x11IconOf(dialog);
  bool sameIcon = false;
  for (size_t at = 0; !sameIcon && at + 2 <= shown.size(); at += 2 + size_t{shown[at]} * shown[at + 1]) {
    sameIcon = shown[at] == 32 && shown[at + 1] == 32 && at + 2 + ours.size() <= shown.size() &&
               std::equal(ours.begin(), ours.end(), shown.begin() + static_cast<std::ptrdiff_t>(at) + 2);
  }
  expect(!ours.empty() && sameIcon, L"the dialog's window shows the stub's 32-pixel icon (X values: " +
                                        std::to_wstring(shown.size()) + L")");
  std::wstring letters;
  for (int id : {-1, IDC_BROWSE, IDC_STARTMENU, IDC_DESKTOP, IDC_SENDTO}) {
    const wstring text = textOf(GetDlgItem(dialog, id));
    const size_t amp = text.find(L'&');
    if (expect(amp != wstring::npos && amp + 1 < text.size(), L"a mnemonic in " + text)) letters += text[amp + 1];
  }
  std::wstring sorted = letters;
  std::sort(sorted.begin(), sorted.end());
  expect(std::unique(sorted.begin(), sorted.end()) == sorted.end(), L"each mnemonic once (" + letters + L")");
  SetForegroundWindow(dialog);
  Sleep(300);
  for (int id : {IDC_STARTMENU, IDC_DESKTOP, IDC_SENDTO}) {
    const wstring text = textOf(GetDlgItem(dialog, id));
    typeKey(static_cast<WORD>(text[text.find(L'&') + 1]), true);
    expect(isChecked(dialog, id), L"Alt+" + text.substr(text.find(L'&') + 1, 1) + L" checks " + text);
  }
  typeKey(static_cast<WORD>(letters[0]), true);
  expect(focusOf(dialog) == GetDlgItem(dialog, IDC_DEST_EDIT), L"Alt+" + letters.substr(0, 1) + L" reaches the folder field");
  typeKey(static_cast<WORD>(letters[1]), true);
  HWND browser = waitForWindow(child, [dialog](HWND w) { return w != dialog && className(w) == L"#32770" && IsWindowVisible(w); }, 5000);
  if (expect(browser != nullptr, L"Alt+" + letters.substr(1, 1) + L" opens the folder browser")) {
    PostMessageW(browser, WM_COMMAND, IDCANCEL, 0);
    Sleep(500);
  }
  for (int id : {IDC_STARTMENU, IDC_DESKTOP, IDC_SENDTO}) click(dialog, id);  // off again: no shortcuts
  SetForegroundWindow(dialog);
  Sleep(200);
  typeKey(VK_RETURN);  // OK, the default button
  HWND window = waitForWindow(child, isProgressWindow);
  if (expect(window != nullptr, L"Enter confirms the dialog and the progress window appears")) {
    SetForegroundWindow(window);
    Sleep(100);
    typeKey(VK_RETURN);
    typeKey(VK_SPACE);
    expect(!hasExited(child) && IsWindowVisible(window), L"Enter and Space on the progress window do not abort");
    typeKey(VK_ESCAPE);
  }
  expect(waitExit(child) == 2, L"exit code 2 after Esc");
  expect(fileBytes(run + L"\\out\\big.bin") == "big.bin version 1", L"the large member's target keeps what it held");
  expect(!temporaryFileLeft(run), L"no temporary file left after Esc");
}

// The progress window is placed by the pointer but always lies inside the work area, with the
// pointer in each corner of the screen.
void scenarioPlacement() {
  RECT work;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const POINT corners[] = {{work.left + 1, work.top + 1}, {work.right - 2, work.top + 1},
                           {work.left + 1, work.bottom - 2}, {work.right - 2, work.bottom - 2}};
  for (const POINT& corner : corners) {
    const wstring at = std::to_wstring(corner.x) + L"," + std::to_wstring(corner.y);
    const wstring run = freshRunFolder(L"placement");
    SetCursorPos(corner.x, corner.y);
    Child child = launch(L"close", run);
    HWND dialog = waitForDialog(child);
    if (dialog) click(dialog, IDOK);
    SetCursorPos(corner.x, corner.y);
    HWND window = waitForWindow(child, isProgressWindow);
    if (expect(window != nullptr, L"the progress window appears, pointer at " + at)) {
      RECT frame;
      GetWindowRect(window, &frame);
      expect(frame.left >= work.left && frame.top >= work.top && frame.right <= work.right && frame.bottom <= work.bottom,
             L"inside the work area with the pointer at " + at + L" (window " + std::to_wstring(frame.left) + L"," +
                 std::to_wstring(frame.top) + L" to " + std::to_wstring(frame.right) + L"," + std::to_wstring(frame.bottom) + L")");
      PostMessageW(window, WM_CLOSE, 0, 0);
    }
    waitExit(child, 20000);
  }
}

// The room a control's text needs, measured with the control's own font; "&" marks a
// mnemonic and takes no room.
LONG textWidth(HWND control) {
  wstring text = textOf(control);
  text.erase(std::remove(text.begin(), text.end(), L'&'), text.end());
  HDC dc = GetDC(control);
  HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(sendTo(control, WM_GETFONT)));
  SIZE extent = {};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return extent.cx;
}

// The controls of window: none leaves it, none overlaps another, and every text fits its
// control with at least 15 % to spare (a check box's box and a button's edges take their
// part of the width).
void expectLaidOut(HWND window, const wstring& which, int dpi) {
  RECT client;
  GetClientRect(window, &client);
  std::vector<std::pair<HWND, RECT>> controls;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    controls.emplace_back(child, r);
    const wstring name = which + L" control " + std::to_wstring(GetDlgCtrlID(child));
    expect(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom, name + L" lies inside the window");
    const wstring type = className(child);
    const LONG style = static_cast<LONG>(GetWindowLongPtrW(child, GWL_STYLE));
    LONG room = r.right - r.left;
    if (type == L"Button") room -= (style & 0x0F) == BS_AUTOCHECKBOX ? MulDiv(17, dpi, 96) : MulDiv(8, dpi, 96);
    if (type == L"Static" || type == L"Button") {
      const LONG needed = textWidth(child);
      expect(needed * 115 / 100 <= room, name + L" \"" + textOf(child) + L"\" fits with 15 % to spare (needs " +
                                              std::to_wstring(needed) + L" of " + std::to_wstring(room) + L" pixels)");
    }
  }
  for (size_t i = 0; i < controls.size(); ++i)
    for (size_t k = i + 1; k < controls.size(); ++k) {
      RECT overlap;
      expect(!IntersectRect(&overlap, &controls[i].second, &controls[k].second),
             which + L" controls " + std::to_wstring(GetDlgCtrlID(controls[i].first)) + L" and " +
                 std::to_wstring(GetDlgCtrlID(controls[k].first)) + L" do not overlap");
    }
}

// Both windows at the screen's DPI (run.sh sets the prefix's LogPixels to 96, 144 and 192 in
// turn): laid out without a control cut or overlapping, inside the work area.
void scenarioLayout() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  say(L"  at " + std::to_wstring(dpi) + L" DPI");
  for (const wchar_t* caseName : {L"keys", L"en-keys"}) {
    const wstring language = caseName[0] == L'e' ? L"English " : L"";
    const wstring run = freshRunFolder(L"layout");
    SetCursorPos(300, 200);
    Child child = launch(caseName, run);
    HWND dialog = waitForDialog(child);
    if (!dialog) {
      waitExit(child, 1000);
      continue;
    }
    expectLaidOut(dialog, L"the " + language + L"dialog", dpi);
    click(dialog, IDOK);
    HWND window = waitForWindow(child, isProgressWindow);
    if (expect(window != nullptr, L"the progress window appears")) {
      expectLaidOut(window, L"the " + language + L"progress window", dpi);
      sendTo(GetDlgItem(window, IDC_ABORT), BM_CLICK);
    }
    expect(waitExit(child) == 2, L"exit code 2 after abort");
  }
}

// ---------------------------------------------------------------- English

// Files made with --lang en: the help box, the dialog (then Cancel), a damaged member, an
// abort and a failing /S run's log and output, all in English.
void scenarioEnglish() {
  const wstring run = freshRunFolder(L"english");
  Child help = launch(L"en-cancel", run, L"/?");
  answerMessageBox(help, L"Usage: file name [switches]\n\n/S\tExtracts without showing any window.");
  expect(waitExit(help) == 0, L"exit code 0 after /?");

  Child child = launch(L"en-cancel", run);
  if (HWND dialog = waitForDialog(child)) {
    expectControlTexts(dialog, {{-1, L"Destination &folder:"},
                                {IDC_BROWSE, L"&Browse..."},
                                {IDC_STARTMENU, L"Add to the Start &menu"},
                                {IDC_DESKTOP, L"Add a shortcut to the &Desktop"},
                                {IDC_SENDTO, L"Add to the &Send to menu"},
                                {IDOK, L"OK"},
                                {IDCANCEL, L"Cancel"}});
    click(dialog, IDCANCEL);
  }
  expect(waitExit(child) == 2, L"exit code 2 after Cancel");
  expect(folderEntries(run).empty(), L"nothing extracted or created after Cancel");

  Child damaged = launch(L"en-crc", run);
  if (HWND dialog = waitForDialog(damaged)) click(dialog, IDOK);
  answerMessageBox(damaged, L"The file corrupt.txt is damaged.");
  expect(waitExit(damaged) == 1, L"exit code 1 after a CRC error");
  expect(!exists(run + L"\\out\\corrupt.txt"), L"the damaged file is not kept");

  Child aborted = launch(L"en-abort", run);
  if (HWND window = runUntilBigMember(aborted)) {
    const wstring button = textOf(GetDlgItem(window, IDC_ABORT));
    expect(button == L"Stop", L"the abort button says Stop (says " + button + L")");
    sendTo(GetDlgItem(window, IDC_ABORT), BM_CLICK);
  }
  expect(waitExit(aborted) == 2, L"exit code 2 after Stop");

  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  const wstring outputPath = run + L"\\output.txt";
  HANDLE output = CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS, 0, nullptr);
  Child silent = launch(L"en-silent-crc", run, L"/S /LOG=silent.log", output);
  expect(waitExit(silent, 30000) == 1, L"exit code 1 under /S");
  CloseHandle(output);
  const std::string log = fileBytes(run + L"\\silent.log");
  expect(log == "OK bin/launched.exe\r\nMSG The file corrupt.txt is damaged.\r\n",
         L"the log's message is English (is \"" + wstring(log.begin(), log.end()) + L"\")");
  expect(fileBytes(outputPath) == "The file corrupt.txt is damaged.\r\n", L"the printed message is English");
}

// A file made with --lang auto follows the user's Windows display language. Wine takes it
// from the process's locale (LC_ALL, else LC_MESSAGES, else LANG) when the process starts:
// run.sh runs this scenario under ja_JP.UTF-8 and under en_US.UTF-8 and says which in
// ZOLT_EXPECTED_UI. Without it the scenario expects what GetUserDefaultUILanguage reports.
void scenarioAutoLanguage() {
  const LANGID ui = GetUserDefaultUILanguage();
  const bool japanese = PRIMARYLANGID(ui) == LANG_JAPANESE;
  wchar_t expected[8] = {};
  if (GetEnvironmentVariableW(L"ZOLT_EXPECTED_UI", expected, 8) != 0) {
    expect(wstring(expected) == (japanese ? L"ja" : L"en"),
           L"Wine reports the display language " + std::to_wstring(ui) + L" for " + expected);
  }
  say(wstring(L"  display language ") + std::to_wstring(ui) + (japanese ? L": Japanese" : L": English"));
  const wstring run = freshRunFolder(L"auto");
  Child child = launch(L"auto", run);
  if (HWND dialog = waitForDialog(child)) {
    const wstring browse = textOf(GetDlgItem(dialog, IDC_BROWSE));
    expect(browse == (japanese ? L"参照(&R)" : L"&Browse..."), L"the dialog's language (Browse says " + browse + L")");
    click(dialog, IDCANCEL);
  }
  expect(waitExit(child) == 2, L"exit code 2 after Cancel");
}

// ---------------------------------------------------------------- planted DLLs

// Every DLL the stub's process loads under Wine (WINEDEBUG=+loaddll, with the dialog, a
// shortcut and the shell notifications), and some that Windows itself loads for the same
// calls. The scenario also checks that the running stub has no module outside this list.
// kernel32, kernelbase, ntdll, win32u and winex11.drv are part of Wine itself and are only
// ever loaded as its built-in copies: planted, they are left in place but prove nothing here.
const wchar_t* const kPlantedNames[] = {
    L"actxprxy.dll", L"advapi32.dll", L"bcrypt.dll", L"cfgmgr32.dll", L"combase.dll", L"comctl32.dll",
    L"cryptbase.dll", L"dnsapi.dll", L"dwmapi.dll", L"gdi32.dll", L"imm32.dll", L"iphlpapi.dll",
    L"kernel32.dll", L"kernelbase.dll", L"msimg32.dll", L"msvcrt.dll", L"nsi.dll", L"ntdll.dll",
    L"ole32.dll", L"oleaut32.dll", L"profapi.dll", L"propsys.dll", L"rpcrt4.dll", L"sechost.dll",
    L"setupapi.dll", L"shcore.dll", L"shell32.dll", L"shlwapi.dll", L"ucrtbase.dll", L"user32.dll",
    L"userenv.dll", L"uxtheme.dll", L"version.dll", L"win32u.dll", L"windows.storage.dll", L"winex11.drv",
    L"ws2_32.dll", L"zlib1.dll"};

void plantCopies(const wstring& folder) {
  for (const wchar_t* name : kPlantedNames) {
    expect(CopyFileW((g_workDir + L"\\planted.dll").c_str(), (folder + L"\\" + name).c_str(), FALSE),
           L"planted " + folder + L"\\" + name);
  }
}

wstring lowerCase(wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

// The names of the modules a running process has loaded that are not in kPlantedNames.
wstring modulesOutsideTheList(const Child& child) {
  HMODULE modules[512];
  DWORD bytes = 0;
  if (!K32EnumProcessModules(child.info.hProcess, modules, sizeof modules, &bytes)) return L"(cannot list modules)";
  wstring unknown;
  for (DWORD i = 1; i < bytes / sizeof(HMODULE); ++i) {  // [0] is the program itself
    wchar_t path[MAX_PATH] = {};
    K32GetModuleFileNameExW(child.info.hProcess, modules[i], path, MAX_PATH);
    const wstring name = lowerCase(wcsrchr(path, L'\\') ? wcsrchr(path, L'\\') + 1 : path);
    bool listed = false;
    for (const wchar_t* planted : kPlantedNames) listed = listed || name == planted;
    if (!listed) unknown += name + L" ";
  }
  return unknown;
}

// What the planted copies wrote about themselves in the folder ("" when none was loaded).
wstring plantedRecord(const wstring& folder) {
  std::string bytes;
  if (!readWholeFile(folder + L"\\planted-record.txt", bytes)) return L"";
  return wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

// A copy of the DLL under every name the stub loads, beside the self-extracting file and in
// its current directory. The stub runs with the dialog (and makes a shortcut) and without
// it; no copy may be loaded, judged by the copies' own record, and each run extracts every
// file with exit code 0 (a copy that broke the start-up would write no record).
void scenarioPlantedDlls() {
  const wstring app = freshRunFolder(L"planted-app");
  const wstring run = freshRunFolder(L"planted");
  plantCopies(app);
  plantCopies(run);
  const wstring shortcut = L"planted-test";
  deleteShortcuts(shortcut);

  // The recording works: loaded on purpose, a copy leaves its record.
  const wstring control = freshRunFolder(L"planted-control");
  CopyFileW((g_workDir + L"\\planted.dll").c_str(), (control + L"\\zoltplant.dll").c_str(), FALSE);
  if (HMODULE loaded = LoadLibraryW((control + L"\\zoltplant.dll").c_str())) FreeLibrary(loaded);
  expect(plantedRecord(control).find(L"zoltplant.dll") != wstring::npos, L"a planted copy records its loading");

  const struct {
    const wchar_t* caseName;
    const wchar_t* arguments;
    bool withDialog;
  } runs[] = {{L"planted", L"", true}, {L"planted-nodialog", L"", false}, {L"planted", L"/S", false}};
  for (const auto& r : runs) {
    const wstring what = wstring(r.caseName) + L" " + r.arguments;
    const wstring exe = app + L"\\" + r.caseName + L".exe";
    CopyFileW((g_workDir + L"\\cases\\" + r.caseName + L".exe").c_str(), exe.c_str(), FALSE);
    const wstring dest = lstrcmpW(r.caseName, L"planted") == 0 ? run + L"\\dest" : run;
    removeTree(run + L"\\dest");
    Child child = launchCommand(L"\"" + exe + L"\" " + r.arguments, run);
    if (r.withDialog) {
      if (HWND dialog = waitForDialog(child)) {
        const wstring unknown = modulesOutsideTheList(child);
        expect(unknown.empty(), L"every module of the stub is planted (add: " + unknown + L")");
        click(dialog, IDOK);
      }
    }
    expect(waitExit(child) == 0, what + L": exit code 0");
    for (const wchar_t* name : {L"one.txt", L"small.txt", L"text.txt"}) expectCorpusFile(dest, name);
    expect(exists(dest + L"\\bin\\launched.exe"), what + L": bin\\launched.exe extracted");
  }
  expectShortcut(CSIDL_COMMON_PROGRAMS, shortcut, true, run + L"\\dest\\bin\\launched.exe", run + L"\\dest");
  deleteShortcuts(shortcut);
  expect(plantedRecord(app).empty(), L"no DLL beside the file was loaded (" + plantedRecord(app) + L")");
  expect(plantedRecord(run).empty(), L"no DLL in the current directory was loaded (" + plantedRecord(run) + L")");
}

struct Scenario {
  const wchar_t* name;
  void (*run)();
};

const Scenario kScenarios[] = {
    {L"resources", scenarioResources},
    {L"no-payload", scenarioNoPayload},
    {L"nosettings", scenarioNoSettings},
    {L"methods", scenarioMethods},
    {L"dialog-options", scenarioDialogOptions},
    {L"dialog-relative", scenarioDialogRelative},
    {L"cancel", scenarioCancel},
    {L"close-during-dialog", scenarioCloseDuringDialog},
    {L"cannot-create", scenarioCannotCreate},
    {L"crc-error", scenarioCrcError},
    {L"no-special-folder", scenarioNoSpecialFolder},
    {L"abort", scenarioAbort},
    {L"close-during-run", scenarioCloseDuringRun},
    {L"member-path", scenarioMemberPath},
    {L"zsfx-made", scenarioZsfxMade},
    {L"planted-dlls", scenarioPlantedDlls},
    {L"silent", scenarioSilent},
    {L"norun-log", scenarioNoRunAndLog},
    {L"silent-damaged", scenarioSilentDamaged},
    {L"silent-destination", scenarioSilentDestination},
    {L"dialog-destination", scenarioDestinationInDialog},
    {L"switches", scenarioHelpAndUnknownSwitch},
    {L"refused-names", scenarioRefusedNames},
    {L"signed", scenarioSigned},
    {L"damaged-downloads", scenarioDamagedDownloads},
    {L"free-space", scenarioFreeSpace},
    {L"quoted-switches", scenarioQuotedSwitches},
    {L"failed-member", scenarioFailedMemberKeepsTheOldFile},
    {L"long-folder", scenarioLongFolder},
    {L"long-member", scenarioLongMember},
    {L"no-program", scenarioNoProgram},
    {L"keyboard", scenarioKeyboard},
    {L"placement", scenarioPlacement},
    {L"layout", scenarioLayout},
    {L"english", scenarioEnglish},
    {L"auto-language", scenarioAutoLanguage},
};

// ---------------------------------------------------------------- screenshots

// Waits until the file named by path exists (scripts/screenshots.sh creates it after taking a
// picture).
void waitForFile(const wstring& path, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (!exists(path) && GetTickCount() - start < milliseconds) Sleep(50);
}

// Tells the screenshot script where a window is (x y width height) and waits for its picture.
void offerForPicture(HWND window, const wchar_t* name) {
  RECT frame;
  GetWindowRect(window, &frame);
  char text[64];
  const int n = std::snprintf(text, sizeof text, "%ld %ld %ld %ld\n", frame.left, frame.top, frame.right - frame.left,
                              frame.bottom - frame.top);
  const wstring base = g_workDir + L"\\" + name;
  writeWholeFile(base + L".tmp", text, n);
  MoveFileW((base + L".tmp").c_str(), (base + L".ready").c_str());
  waitForFile(base + L".taken", 30000);
}

// Drives a screenshot case for scripts/screenshots.sh ("shots", or "en-shots" in English): the
// dialog as it opens, then the progress window part-way through the large member; then the
// run is aborted.
int takeScreenshots(const wchar_t* caseName) {
  const wstring run = freshRunFolder(L"shots");
  Child child = launch(caseName, run);
  HWND dialog = waitForDialog(child);
  if (!dialog) return waitExit(child, 1000), 1;
  Sleep(500);  // let it paint
  offerForPicture(dialog, L"dialog");
  click(dialog, IDOK);
  HWND window = waitForWindow(child, isProgressWindow);
  if (!window) return waitExit(child, 1000), 1;
  HWND bar = FindWindowExW(window, nullptr, PROGRESS_CLASSW, nullptr);
  const DWORD start = GetTickCount();
  while (sendTo(bar, PBM_GETPOS) < 40 && GetTickCount() - start < 30000 && !hasExited(child)) Sleep(5);
  offerForPicture(window, L"progress");
  sendTo(GetDlgItem(window, IDC_ABORT), BM_CLICK);
  return waitExit(child) == 2 ? 0 : 1;
}

// Started by the stub as its program to run: record the current directory and end.
bool runAsLaunchedProgram() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  wstring path = self;
  const size_t slash = path.find_last_of(L'\\');
  if (lstrcmpiW(path.c_str() + slash + 1, L"launched.exe") != 0) return false;
  wchar_t current[MAX_PATH] = {};
  const DWORD length = GetCurrentDirectoryW(MAX_PATH, current);
  writeWholeFile(path.substr(0, slash) + L"\\launched.txt", current, length * sizeof(wchar_t));
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (runAsLaunchedProgram()) return 0;
  if ((argc == 3 || argc == 4) && lstrcmpW(argv[1], L"--screenshots") == 0) {
    g_workDir = argv[2];
    return takeScreenshots(argc == 4 ? argv[3] : L"shots");
  }
  if (argc < 3) {
    std::fputs("usage: driver.exe WORKDIR CORPUS_FILES [SCENARIO...] | driver.exe --screenshots WORKDIR [CASE]\n", stderr);
    return 2;
  }
  g_workDir = argv[1];
  g_corpusFiles = argv[2];
  CoInitialize(nullptr);
  for (const Scenario& scenario : kScenarios) {
    bool chosen = argc == 3;
    for (int i = 3; i < argc; ++i) chosen = chosen || lstrcmpW(argv[i], scenario.name) == 0;
    if (!chosen) continue;
    g_scenarioFailed = false;
    scenario.run();
    say(wstring(g_scenarioFailed ? L"FAIL " : L"PASS ") + scenario.name);
    if (g_scenarioFailed) ++g_failures;
  }
  CoUninitialize();
  say(std::to_wstring(g_failures) + L" scenario(s) failed");
  return g_failures ? 1 : 0;
}
