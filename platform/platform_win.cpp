// The platform layer on Windows: each operation is the Win32 call of the same job. wchar_t
// is 16 bits here, so the engine's UTF-16 text is handed over as it is.
#include <windows.h>
#include <shlobj.h>
#include <sys/utime.h>
#include <time.h>

#include "platform/platform.h"

namespace platform {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 text is UTF-16");

const wchar_t* wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
wchar_t* wide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

HANDLE toHandle(FileHandle h) { return reinterpret_cast<HANDLE>(h); }

UINT g_codePage = CP_ACP;

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// Win32 resolves a path without a prefix only when its full form fits in MAX_PATH (a folder
// to be created: in 248 units, room for an 8.3 name in it). A longer path is handed over as
// \\?\<full path>: the prefix lifts the limit to 32767 units but also turns off the system's
// own clean-up, so "/" becomes "\" and "." components are dropped here.
// Member paths reach this point already made safe, so ".." does not occur; a path that still
// holds one, or a long UNC path, fails as too long rather than being resolved by hand.
class SystemPath {
 public:
  explicit SystemPath(const char16_t* path, uint32_t limit = MAX_PATH_UNITS) : path_(wide(path)) {
    uint32_t length = 0;
    while (path[length] != 0) ++length;
    const bool prefixed = length >= 4 && isSeparator(path[0]) && isSeparator(path[1]) && path[2] == u'?';
    const bool driveAbsolute = length >= 3 && path[1] == u':' && isSeparator(path[2]);
    const bool rooted = length >= 1 && isSeparator(path[0]);
    if (prefixed) return;
    wchar_t current[MAX_PATH_UNITS];
    DWORD currentLength = 0;
    if (!driveAbsolute) {
      currentLength = GetCurrentDirectoryW(MAX_PATH_UNITS, current);
      if (currentLength == 0 || currentLength >= MAX_PATH_UNITS) return;  // the system reports it
    }
    if (currentLength + 1 + length + 1 <= limit) return;
    if (rooted || (length >= 2 && path[1] == u':' && !driveAbsolute) || !buildExtended(current, currentLength, path)) {
      path_ = nullptr;
    }
  }
  ~SystemPath() { delete[] extended_; }
  SystemPath(const SystemPath&) = delete;
  SystemPath& operator=(const SystemPath&) = delete;

  // The path to hand to Win32, or null (last error set) when it cannot be expressed.
  const wchar_t* get() const {
    if (path_ == nullptr) SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return path_;
  }

 private:
  bool buildExtended(const wchar_t* base, DWORD baseLength, const char16_t* path) {
    uint32_t length = 0;
    while (path[length] != 0) ++length;
    const uint32_t capacity = 4 + baseLength + 1 + length + 1;
    if (capacity >= LONGEST_PATH_UNITS) return false;
    extended_ = new wchar_t[capacity];
    uint32_t at = 0;
    for (const wchar_t* p = L"\\\\?\\"; *p; ++p) extended_[at++] = *p;
    for (DWORD i = 0; i < baseLength; ++i) extended_[at++] = base[i];
    if (baseLength > 0 && extended_[at - 1] != L'\\') extended_[at++] = L'\\';
    // Copy component by component: "." disappears, ".." cannot be expressed.
    uint32_t i = 0;
    while (i < length) {
      uint32_t end = i;
      while (end < length && !isSeparator(path[end])) ++end;
      const uint32_t size = end - i;
      if (size == 2 && path[i] == u'.' && path[i + 1] == u'.') return false;
      if (size > 0 && !(size == 1 && path[i] == u'.')) {
        if (extended_[at - 1] != L'\\') extended_[at++] = L'\\';
        for (uint32_t k = i; k < end; ++k) extended_[at++] = static_cast<wchar_t>(path[k]);
      }
      if (end < length && end + 1 == length) extended_[at++] = L'\\';  // keep a trailing separator
      i = end + 1;
    }
    extended_[at] = 0;
    path_ = extended_;
    return true;
  }

  const wchar_t* path_;
  wchar_t* extended_ = nullptr;
};

}  // namespace

FileHandle openFile(const char16_t* path, uint32_t access, uint32_t shareMode, uint32_t disposition,
                    uint32_t flags) {
  const SystemPath systemPath(path);
  if (systemPath.get() == nullptr) return kInvalidHandle;
  HANDLE h = CreateFileW(systemPath.get(), access, shareMode, nullptr, disposition, flags, nullptr);
  return reinterpret_cast<FileHandle>(h);
}

int32_t readFile(FileHandle h, void* buffer, uint32_t count) {
  // The result is a signed 32-bit count, so one call reads at most 2^31 - 1 bytes.
  if (count > 0x7FFFFFFFu) count = 0x7FFFFFFFu;
  DWORD got = 0;
  if (!ReadFile(toHandle(h), buffer, count, &got, nullptr)) return -1;
  return static_cast<int32_t>(got);
}

bool writeFile(FileHandle h, const void* buffer, uint32_t count) {
  DWORD written = 0;
  if (!WriteFile(toHandle(h), buffer, count, &written, nullptr)) return false;
  if (written != count) {
    SetLastError(ERROR_DISK_FULL);
    return false;
  }
  return true;
}

bool seekFile(FileHandle h, int64_t distance, int moveMethod, int64_t* newPosition) {
  LARGE_INTEGER move;
  move.QuadPart = distance;
  LARGE_INTEGER result;
  if (!SetFilePointerEx(toHandle(h), move, &result, moveMethod == SEEK_FROM_BEGIN ? FILE_BEGIN : FILE_CURRENT)) {
    return false;
  }
  if (newPosition != nullptr) *newPosition = result.QuadPart;
  return true;
}

void closeFile(FileHandle h) { CloseHandle(toHandle(h)); }

bool fileSize(FileHandle h, uint64_t* size) {
  // The end's position, then back: SetFilePointerEx is imported anyway, GetFileSizeEx not.
  LARGE_INTEGER zero = {}, here, end;
  if (!SetFilePointerEx(toHandle(h), zero, &here, FILE_CURRENT) || !SetFilePointerEx(toHandle(h), zero, &end, FILE_END) ||
      !SetFilePointerEx(toHandle(h), here, nullptr, FILE_BEGIN)) {
    return false;
  }
  *size = static_cast<uint64_t>(end.QuadPart);
  return true;
}

bool deleteFile(const char16_t* path) {
  const SystemPath systemPath(path);
  return systemPath.get() != nullptr && DeleteFileW(systemPath.get()) != 0;
}

// GetFileAttributesExW serves both getFileAttributes and fileSizeAt: one import, not two.
bool attributeData(const char16_t* path, WIN32_FILE_ATTRIBUTE_DATA& data) {
  const SystemPath systemPath(path);
  return systemPath.get() != nullptr && GetFileAttributesExW(systemPath.get(), GetFileExInfoStandard, &data);
}

bool replaceFile(const char16_t* from, const char16_t* to) {
  // Windows refuses to replace a read-only file; Wine replaces it. Asked first, it is refused
  // on both, with Windows' error.
  const uint32_t attributes = getFileAttributes(to);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  const SystemPath fromPath(from), toPath(to);
  return fromPath.get() != nullptr && toPath.get() != nullptr &&
         MoveFileExW(fromPath.get(), toPath.get(), MOVEFILE_REPLACE_EXISTING) != 0;
}

uint32_t getFileAttributes(const char16_t* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return attributeData(path, data) ? data.dwFileAttributes : INVALID_FILE_ATTRIBUTES;
}

// CreateDirectoryW's own limit for a path without the prefix.
constexpr uint32_t kFolderPathUnits = 248;

bool createDirectory(const char16_t* path) {
  const SystemPath systemPath(path, kFolderPathUnits);
  return systemPath.get() != nullptr && CreateDirectoryW(systemPath.get(), nullptr) != 0;
}

bool setFileTimes(const char16_t* path, int64_t unixTime) {
  __utimbuf64 times;
  times.actime = unixTime;
  times.modtime = unixTime;
  const SystemPath systemPath(path);
  return systemPath.get() != nullptr && _wutime64(systemPath.get(), &times) == 0;
}

bool fileSizeAt(const char16_t* path, uint64_t* size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!attributeData(path, data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool freeDiskSpace(const char16_t* folder, uint64_t* bytes) {
  const SystemPath systemPath(folder);
  ULARGE_INTEGER available;
  if (systemPath.get() == nullptr || !GetDiskFreeSpaceExW(systemPath.get(), &available, nullptr, nullptr)) return false;
  *bytes = available.QuadPart;
  return true;
}

uint32_t getCurrentDirectory(char16_t* buffer, uint32_t capacity) {
  return GetCurrentDirectoryW(capacity, wide(buffer));
}

bool setCurrentDirectory(const char16_t* path) { return SetCurrentDirectoryW(wide(path)) != 0; }

uint32_t lastError() { return GetLastError(); }
void setLastError(uint32_t code) { SetLastError(code); }
bool isAlreadyExistsError(uint32_t code) { return code == ERROR_ALREADY_EXISTS; }
uint32_t pathTooLongError() { return ERROR_FILENAME_EXCED_RANGE; }

uint32_t systemErrorText(uint32_t code, char16_t* buffer, uint32_t capacity) {
  if (buffer == nullptr || capacity == 0) return 0;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), wide(buffer), capacity, nullptr);
  if (length == 0) {
    buffer[0] = 0;
    return 0;
  }
  while (length > 0 && (buffer[length - 1] == u'\r' || buffer[length - 1] == u'\n')) --length;
  buffer[length] = 0;
  return length;
}

void setAnsiCodePage(uint32_t codePage) { g_codePage = codePage; }
uint32_t ansiCodePage() { return g_codePage; }

uint32_t ansiToWide(const char* text, char16_t* out, uint32_t capacity) {
  // Without MB_ERR_INVALID_CHARS an undefined byte becomes the code page's default
  // character instead of failing the whole name.
  const int n = MultiByteToWideChar(g_codePage, 0, text, -1, wide(out), static_cast<int>(capacity));
  return n > 0 ? static_cast<uint32_t>(n) : 0;
}

int32_t timezoneOffsetSeconds() {
  // msvcrt.dll, which mingw-w64 links against, has no _get_timezone; the _timezone variable
  // it exports holds the same value after _tzset.
  _tzset();
  return static_cast<int32_t>(_timezone);
}

uint32_t moduleFileName(char16_t* buffer, uint32_t capacity) {
  return GetModuleFileNameW(nullptr, wide(buffer), capacity);
}

uint64_t availablePhysicalMemory() {
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return status.ullAvailPhys;
}

bool shellFolderPath(int csidl, char16_t* buffer, uint32_t capacity) {
  PIDLIST_ABSOLUTE items = nullptr;
  if (FAILED(SHGetFolderLocation(nullptr, csidl, nullptr, 0, &items)) || items == nullptr) return false;
  const BOOL found = SHGetPathFromIDListEx(items, wide(buffer), capacity, GPFIDL_DEFAULT);
  ILFree(items);
  return found != FALSE;
}

void shellNotifyCreated(const char16_t* path) { SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW, wide(path), nullptr); }

}  // namespace platform
