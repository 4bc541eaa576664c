// The platform layer on Linux and other POSIX systems.
//
// The engine speaks Win32: CreateFileW dispositions, GetLastError codes, "\" as a path
// separator. Here those semantics are emulated so that a run on Linux builds the same tree
// and fails in the same places as the stub on Windows:
// - paths arrive as UTF-16 and go to the OS as UTF-8, with every "\" turned into "/";
// - error codes are errno values, kept per thread like GetLastError (errno itself is
//   clobbered too easily by the library calls that follow a failure);
// - ANSI names are converted with iconv from a chosen code page (932, Shift_JIS, unless set).
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/platform.h"
#include "platform/utf8.h"

namespace platform {
namespace {

thread_local uint32_t t_lastError = 0;

uint32_t failWith(int code) {
  t_lastError = static_cast<uint32_t>(code);
  return t_lastError;
}

// UTF-16 path to the UTF-8 name the OS takes; "\" separates like "/".
std::string toOsPath(const char16_t* path) {
  std::string out = utf16ToUtf8(path);
  for (char& c : out) c = (c == '\\') ? '/' : c;
  return out;
}

std::u16string fromUtf8(const char* text) { return utf8ToUtf16(text, std::strlen(text)); }

// Copies text into a Win32-style buffer: the length when it fits with its terminator,
// otherwise the capacity needed (terminator included).
uint32_t copyOut(const std::u16string& text, char16_t* buffer, uint32_t capacity) {
  const uint32_t length = static_cast<uint32_t>(text.size());
  if (buffer == nullptr || length + 1 > capacity) return length + 1;
  std::memcpy(buffer, text.data(), length * sizeof(char16_t));
  buffer[length] = 0;
  return length;
}

uint32_t g_ansiCodePage = 932;

// iconv's name of a Windows code page.
std::string iconvName(uint32_t codePage) {
  if (codePage == 0) codePage = 932;
  if (codePage == 65001) return "UTF-8";
  if (codePage == 20127) return "ASCII";
  if (codePage == 28591) return "ISO-8859-1";
  return "CP" + std::to_string(codePage);
}

// Converts a NUL-terminated byte string from the ANSI code page. A byte sequence that the
// code page does not define becomes U+FFFD and the conversion goes on after it, so one bad
// byte never loses the whole name.
std::u16string convertAnsi(const char* text) {
  std::u16string out;
  size_t inLeft = std::strlen(text);
  iconv_t cd = iconv_open("UTF-16LE", iconvName(g_ansiCodePage).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // No converter for this code page: ASCII survives, everything else is unknown.
    for (size_t i = 0; i < inLeft; ++i) {
      const auto b = static_cast<unsigned char>(text[i]);
      out += b < 0x80 ? static_cast<char16_t>(b) : u'\uFFFD';
    }
    return out;
  }
  char* in = const_cast<char*>(text);
  char chunk[512];
  while (inLeft > 0) {
    char* outPtr = chunk;
    size_t outLeft = sizeof chunk;
    const size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    const int error = errno;
    const size_t produced = (sizeof chunk - outLeft) / 2;
    for (size_t i = 0; i < produced; ++i) {
      out += static_cast<char16_t>(static_cast<unsigned char>(chunk[2 * i]) |
                                   (static_cast<unsigned char>(chunk[2 * i + 1]) << 8));
    }
    if (result != static_cast<size_t>(-1)) break;
    if (error == E2BIG) continue;
    // EILSEQ (undefined sequence) or EINVAL (a lead byte cut off by the end).
    out += u'\uFFFD';
    ++in;
    --inLeft;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  return out;
}

}  // namespace

FileHandle openFile(const char16_t* path, uint32_t access, uint32_t /*shareMode*/, uint32_t disposition,
                    uint32_t /*flags*/) {
  const std::string osPath = toOsPath(path);
  const bool wantRead = (access & GENERIC_READ_ACCESS) != 0;
  const bool wantWrite = (access & GENERIC_WRITE_ACCESS) != 0;
  int mode = wantWrite ? (wantRead ? O_RDWR : O_WRONLY) : O_RDONLY;
  if (disposition == DISPOSITION_CREATE_ALWAYS) mode |= O_CREAT | O_TRUNC;
  int fd;
  do {
    fd = ::open(osPath.c_str(), mode | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    failWith(errno);
    return kInvalidHandle;
  }
  // CreateFileW does not open folders as files; open(2) does for reading.
  struct stat info;
  if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    failWith(EISDIR);
    return kInvalidHandle;
  }
  // Handle 0 means "not open" to the engine: never hand out descriptor 0.
  if (fd == 0) {
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    const int error = errno;
    ::close(fd);
    if (moved < 0) {
      failWith(error);
      return kInvalidHandle;
    }
    fd = moved;
  }
  return static_cast<FileHandle>(fd);
}

int32_t readFile(FileHandle h, void* buffer, uint32_t count) {
  if (!isOpen(h)) {
    failWith(EBADF);
    return -1;
  }
  // The result is a signed 32-bit count, so one call reads at most INT32_MAX bytes.
  if (count > static_cast<uint32_t>(INT32_MAX)) count = INT32_MAX;
  auto* bytes = static_cast<unsigned char*>(buffer);
  uint32_t total = 0;
  // ReadFile on a disk file delivers the whole count unless the file ends.
  while (total < count) {
    const ssize_t n = ::read(static_cast<int>(h), bytes + total, count - total);
    if (n < 0) {
      if (errno == EINTR) continue;
      failWith(errno);
      return -1;
    }
    if (n == 0) break;
    total += static_cast<uint32_t>(n);
  }
  return static_cast<int32_t>(total);
}

bool writeFile(FileHandle h, const void* buffer, uint32_t count) {
  if (!isOpen(h)) {
    failWith(EBADF);
    return false;
  }
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  uint32_t total = 0;
  while (total < count) {
    const ssize_t n = ::write(static_cast<int>(h), bytes + total, count - total);
    if (n < 0) {
      if (errno == EINTR) continue;
      failWith(errno);
      return false;
    }
    if (n == 0) {
      failWith(ENOSPC);
      return false;
    }
    total += static_cast<uint32_t>(n);
  }
  return true;
}

bool seekFile(FileHandle h, int64_t distance, int moveMethod, int64_t* newPosition) {
  if (!isOpen(h)) {
    failWith(EBADF);
    return false;
  }
  const int whence = moveMethod == SEEK_FROM_BEGIN ? SEEK_SET : SEEK_CUR;
  const off_t result = ::lseek(static_cast<int>(h), static_cast<off_t>(distance), whence);
  if (result < 0) {
    failWith(errno);
    return false;
  }
  if (newPosition != nullptr) *newPosition = static_cast<int64_t>(result);
  return true;
}

void closeFile(FileHandle h) {
  if (isOpen(h)) ::close(static_cast<int>(h));
}

bool fileSize(FileHandle h, uint64_t* size) {
  struct stat info {};
  if (::fstat(static_cast<int>(h), &info) != 0) {
    failWith(errno);
    return false;
  }
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

bool deleteFile(const char16_t* path) {
  // unlink(2) refuses folders as DeleteFileW does.
  if (::unlink(toOsPath(path).c_str()) != 0) {
    failWith(errno);
    return false;
  }
  return true;
}

bool replaceFile(const char16_t* from, const char16_t* to) {
  const std::string target = toOsPath(to);
  // MoveFileExW replaces neither a folder nor a read-only file; rename(2) would replace the
  // second. A file without its owner's write bit is what Windows calls read-only.
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0 && (S_ISDIR(info.st_mode) || (info.st_mode & S_IWUSR) == 0)) {
    failWith(S_ISDIR(info.st_mode) ? EISDIR : EACCES);
    return false;
  }
  if (::rename(toOsPath(from).c_str(), target.c_str()) != 0) {
    failWith(errno);
    return false;
  }
  return true;
}

uint32_t getFileAttributes(const char16_t* path) {
  struct stat info;
  if (::stat(toOsPath(path).c_str(), &info) != 0) {
    failWith(errno);
    return INVALID_ATTRIBUTES;
  }
  return S_ISDIR(info.st_mode) ? ATTRIBUTE_DIRECTORY : ATTRIBUTE_NORMAL;
}

bool createDirectory(const char16_t* path) {
  if (::mkdir(toOsPath(path).c_str(), 0777) != 0) {
    failWith(errno);
    return false;
  }
  return true;
}

bool setFileTimes(const char16_t* path, int64_t unixTime) {
  struct timespec times[2];
  times[0].tv_sec = static_cast<time_t>(unixTime);
  times[0].tv_nsec = 0;
  times[1] = times[0];
  if (::utimensat(AT_FDCWD, toOsPath(path).c_str(), times, 0) != 0) {
    failWith(errno);
    return false;
  }
  return true;
}

bool fileSizeAt(const char16_t* path, uint64_t* size) {
  struct stat info {};
  if (::stat(toOsPath(path).c_str(), &info) != 0) {
    failWith(errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) return false;
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

bool freeDiskSpace(const char16_t* folder, uint64_t* bytes) {
  struct statvfs info {};
  if (::statvfs(toOsPath(folder).c_str(), &info) != 0) {
    failWith(errno);
    return false;
  }
  // f_bavail: the blocks free to a caller without privileges, as GetDiskFreeSpaceExW's
  // "available to the caller".
  *bytes = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
  return true;
}

uint32_t getCurrentDirectory(char16_t* buffer, uint32_t capacity) {
  char* cwd = ::getcwd(nullptr, 0);
  if (cwd == nullptr) {
    failWith(errno);
    return 0;
  }
  const std::u16string text = fromUtf8(cwd);
  std::free(cwd);
  return copyOut(text, buffer, capacity);
}

bool setCurrentDirectory(const char16_t* path) {
  if (::chdir(toOsPath(path).c_str()) != 0) {
    failWith(errno);
    return false;
  }
  return true;
}

uint32_t lastError() { return t_lastError; }
void setLastError(uint32_t code) { t_lastError = code; }
bool isAlreadyExistsError(uint32_t code) { return code == EEXIST; }
uint32_t pathTooLongError() { return ENAMETOOLONG; }

namespace {
// strerror_r comes in a GNU flavour (returns the text) and an XSI one (fills the buffer).
[[maybe_unused]] const char* pickErrorText(int result, const char* buffer) { return result == 0 ? buffer : nullptr; }
[[maybe_unused]] const char* pickErrorText(const char* result, const char*) { return result; }
}  // namespace

uint32_t systemErrorText(uint32_t code, char16_t* buffer, uint32_t capacity) {
  if (buffer == nullptr || capacity == 0) return 0;
  char text[256] = {};
  const char* message = pickErrorText(strerror_r(static_cast<int>(code), text, sizeof text), text);
  if (message == nullptr || *message == 0) {
    buffer[0] = 0;
    return 0;
  }
  std::u16string wide = fromUtf8(message);
  if (wide.size() + 1 > capacity) wide.resize(capacity - 1);
  std::memcpy(buffer, wide.data(), wide.size() * sizeof(char16_t));
  buffer[wide.size()] = 0;
  return static_cast<uint32_t>(wide.size());
}

void setAnsiCodePage(uint32_t codePage) { g_ansiCodePage = codePage == 0 ? 932 : codePage; }
uint32_t ansiCodePage() { return g_ansiCodePage; }

uint32_t ansiToWide(const char* text, char16_t* out, uint32_t capacity) {
  if (text == nullptr) {
    failWith(EINVAL);
    return 0;
  }
  const std::u16string wide = convertAnsi(text);
  const uint32_t needed = static_cast<uint32_t>(wide.size()) + 1;
  if (capacity == 0) return needed;
  if (out == nullptr || capacity < needed) {
    failWith(ENOBUFS);  // ERROR_INSUFFICIENT_BUFFER
    return 0;
  }
  std::memcpy(out, wide.data(), wide.size() * sizeof(char16_t));
  out[wide.size()] = 0;
  return needed;
}

int32_t timezoneOffsetSeconds() {
  tzset();
  return static_cast<int32_t>(timezone);
}

uint32_t moduleFileName(char16_t* buffer, uint32_t capacity) {
  std::string target(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", target.data(), target.size() - 1);
  if (n <= 0) {
    failWith(errno);
    return 0;
  }
  target.resize(static_cast<size_t>(n));
  const std::u16string wide = fromUtf8(target.c_str());
  // GetModuleFileNameW: a name that does not fit is cut to the buffer and the full
  // capacity is returned, which callers treat as "too long".
  if (wide.size() + 1 > capacity) {
    failWith(ENAMETOOLONG);
    if (capacity > 0) {
      std::memcpy(buffer, wide.data(), (capacity - 1) * sizeof(char16_t));
      buffer[capacity - 1] = 0;
    }
    return capacity;
  }
  return copyOut(wide, buffer, capacity);
}

uint64_t availablePhysicalMemory() {
  const long pages = sysconf(_SC_AVPHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

bool shellFolderPath(int /*csidl*/, char16_t* buffer, uint32_t /*capacity*/) {
  if (buffer != nullptr) buffer[0] = 0;
  failWith(ENOENT);
  return false;
}

void shellNotifyCreated(const char16_t* /*path*/) {}

}  // namespace platform
