// The operating-system calls that the portable engine (core/, decode/) needs, in one place.
//
// The engine is written against Win32 semantics: handles, CreateFileW-style access and
// disposition values, GetLastError codes, "\" and "/" both separating path parts. The
// Windows build maps each call onto the Win32 function of the same job; the POSIX build
// emulates those semantics closely enough that a run on Linux creates the same tree and
// fails in the same places (for example "\" in a path is a separator on both).
//
// Paths are NUL-terminated UTF-16. Nothing here includes <windows.h>.
#pragma once

#include <cstdint>

namespace platform {

// An open file: a Win32 HANDLE on Windows, a file descriptor on POSIX.
// 0 and -1 (INVALID_HANDLE_VALUE) both mean "not open".
using FileHandle = intptr_t;
inline constexpr FileHandle kNullHandle = 0;
inline constexpr FileHandle kInvalidHandle = -1;
inline bool isOpen(FileHandle h) { return h != kNullHandle && h != kInvalidHandle; }

// CreateFileW values, spelled as Win32 spells them so that callers read like the stub.
inline constexpr uint32_t GENERIC_READ_ACCESS = 0x80000000u;   // GENERIC_READ
inline constexpr uint32_t GENERIC_WRITE_ACCESS = 0x40000000u;  // GENERIC_WRITE
inline constexpr uint32_t SHARE_READ = 1;                      // FILE_SHARE_READ
inline constexpr uint32_t DISPOSITION_CREATE_ALWAYS = 2;       // CREATE_ALWAYS
inline constexpr uint32_t DISPOSITION_OPEN_EXISTING = 3;       // OPEN_EXISTING
inline constexpr uint32_t ATTRIBUTE_NORMAL = 0x80;             // FILE_ATTRIBUTE_NORMAL
inline constexpr uint32_t ATTRIBUTE_DIRECTORY = 0x10;          // FILE_ATTRIBUTE_DIRECTORY
inline constexpr uint32_t INVALID_ATTRIBUTES = 0xFFFFFFFFu;    // INVALID_FILE_ATTRIBUTES
inline constexpr int SEEK_FROM_BEGIN = 0;                      // FILE_BEGIN
inline constexpr int SEEK_FROM_CURRENT = 1;                    // FILE_CURRENT

// MAX_PATH: fixed path buffers hold this many UTF-16 units, terminator included.
inline constexpr uint32_t MAX_PATH_UNITS = 260;
// The longest path Win32 has, with the \\?\ prefix: 32767 units and the terminator.
inline constexpr uint32_t LONGEST_PATH_UNITS = 32768;

// Shell folder ids (CSIDL_*).
inline constexpr int CSIDL_PROGRAMS_ID = 2;
inline constexpr int CSIDL_SENDTO_ID = 9;
inline constexpr int CSIDL_COMMON_PROGRAMS_ID = 23;
inline constexpr int CSIDL_COMMON_DESKTOPDIRECTORY_ID = 25;
inline constexpr int CSIDL_PROGRAM_FILES_ID = 38;

// --- files (CreateFileW, ReadFile, WriteFile, SetFilePointerEx, CloseHandle) ---
FileHandle openFile(const char16_t* path, uint32_t access, uint32_t shareMode, uint32_t disposition,
                    uint32_t flags);
// Bytes read (0 at the end of the file), or -1 when the read fails.
int32_t readFile(FileHandle h, void* buffer, uint32_t count);
// True when the whole buffer was written.
bool writeFile(FileHandle h, const void* buffer, uint32_t count);
// Moves the file pointer; on success stores the new position in *newPosition when given.
bool seekFile(FileHandle h, int64_t distance, int moveMethod, int64_t* newPosition);
void closeFile(FileHandle h);
// The size of an open file (GetFileSizeEx).
bool fileSize(FileHandle h, uint64_t* size);

// --- names in the file system (DeleteFileW, GetFileAttributesW, CreateDirectoryW) ---
bool deleteFile(const char16_t* path);
// Puts the file from in the place of the file to in one step, replacing it when it exists
// (MoveFileExW with MOVEFILE_REPLACE_EXISTING, rename). Fails, leaving both as they were,
// when to is a folder or a read-only file, or is in use.
bool replaceFile(const char16_t* from, const char16_t* to);
uint32_t getFileAttributes(const char16_t* path);
// True when a folder stands at path.
inline bool isFolder(const char16_t* path) {
  const uint32_t attributes = getFileAttributes(path);
  return attributes != INVALID_ATTRIBUTES && (attributes & ATTRIBUTE_DIRECTORY) != 0;
}
bool createDirectory(const char16_t* path);
// _wutime64 with access and modification time both set to unixTime; false on failure.
bool setFileTimes(const char16_t* path, int64_t unixTime);
// The size of the file named by path (GetFileAttributesExW); false when there is none, or a
// folder stands there.
bool fileSizeAt(const char16_t* path, uint64_t* size);
// The bytes free to the caller on the volume that holds the existing folder path
// (GetDiskFreeSpaceExW, statvfs); false when the system cannot tell.
bool freeDiskSpace(const char16_t* folder, uint64_t* bytes);

// --- current directory (GetCurrentDirectoryW, SetCurrentDirectoryW) ---
// GetCurrentDirectoryW semantics: the length without terminator when it fits in capacity,
// otherwise the capacity needed (terminator included); 0 on failure.
uint32_t getCurrentDirectory(char16_t* buffer, uint32_t capacity);
bool setCurrentDirectory(const char16_t* path);

// --- errors (GetLastError, SetLastError, FormatMessageW) ---
uint32_t lastError();
void setLastError(uint32_t code);
// ERROR_ALREADY_EXISTS on Windows, EEXIST on POSIX.
bool isAlreadyExistsError(uint32_t code);
// The system's text for an error code, UTF-16, without a trailing line break; writes at most
// capacity units including the terminator and returns the length written (0: no text).
uint32_t systemErrorText(uint32_t code, char16_t* buffer, uint32_t capacity);
// The error code the platform uses for "file name or path too long".
uint32_t pathTooLongError();

// --- text (MultiByteToWideChar with CP_ACP) ---
// Chooses the ANSI code page used by ansiToWide: 0 is the system's ANSI code page on
// Windows and 932 (Shift_JIS) on POSIX.
void setAnsiCodePage(uint32_t codePage);
uint32_t ansiCodePage();
// MultiByteToWideChar(CP_ACP, 0, text, -1, out, capacity): converts a NUL-terminated byte
// string; with capacity 0 returns the units needed including the terminator. Bytes that
// cannot be converted become U+FFFD rather than failing the whole name.
uint32_t ansiToWide(const char* text, char16_t* out, uint32_t capacity);

// --- time (_tzset, _get_timezone) ---
// The runtime's time-zone offset in seconds west of UTC, read afresh on every call.
int32_t timezoneOffsetSeconds();

// --- process (GetModuleFileNameW, GlobalMemoryStatusEx) ---
uint32_t moduleFileName(char16_t* buffer, uint32_t capacity);
// Available physical memory in bytes; 0 when unknown.
uint64_t availablePhysicalMemory();

// --- shell (SHGetFolderLocation + SHGetPathFromIDListW, SHChangeNotify) ---
// The file-system path of a special folder into buffer (capacity units, terminator
// included; the longest path takes 32768); false when it cannot be located (always on POSIX).
bool shellFolderPath(int csidl, char16_t* buffer, uint32_t capacity);
// SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW, path, null); nothing outside Windows.
void shellNotifyCreated(const char16_t* path);

}  // namespace platform
