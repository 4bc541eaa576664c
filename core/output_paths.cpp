#include "core/output_paths.h"

#include <new>

#include "platform/platform.h"

namespace {

bool isSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

char16_t upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// A component that climbs out of its folder: "..", also with trailing spaces, which
// Windows trims from a name before it looks at it.
bool isClimbing(const char16_t* part, uint32_t n) {
  while (n > 0 && part[n - 1] == u' ') --n;
  return n == 2 && part[0] == u'.' && part[1] == u'.';
}

// Windows opens a device, not a file, for these names in any folder, whatever the case and
// whatever follows a dot: CON, PRN, AUX, NUL, COM1-9, LPT1-9 (also with the superscript
// digits 1 to 3), CONIN$ and CONOUT$. Trailing spaces before the dot do not help either.
bool isDeviceName(const char16_t* part, uint32_t n) {
  uint32_t stem = 0;
  while (stem < n && part[stem] != u'.') ++stem;
  while (stem > 0 && part[stem - 1] == u' ') --stem;
  char16_t name[8] = {};
  if (stem < 3 || stem > 7) return false;
  for (uint32_t i = 0; i < stem; ++i) name[i] = upper(part[i]);
  auto is = [&](const char16_t* device) {
    uint32_t i = 0;
    for (; device[i] != 0; ++i) {
      if (i >= stem || name[i] != device[i]) return false;
    }
    return i == stem;
  };
  if (is(u"CON") || is(u"PRN") || is(u"AUX") || is(u"NUL") || is(u"CONIN$") || is(u"CONOUT$")) return true;
  const bool serialOrPrinter = (name[0] == u'C' && name[1] == u'O' && name[2] == u'M') ||
                               (name[0] == u'L' && name[1] == u'P' && name[2] == u'T');
  if (stem == 4 && serialOrPrinter) {
    const char16_t digit = name[3];
    return (digit >= u'1' && digit <= u'9') || digit == 0x00B9 || digit == 0x00B2 || digit == 0x00B3;
  }
  return false;
}

// A code unit that no Windows file name may hold: the control characters 1-31 and
// < > : " | ? *. Stored names made on other systems can hold any of them.
bool isRefusedByWindows(char16_t c) {
  // Bit n set: the code unit 32 + n is refused ('"' 34, '*' 42, ':' 58, '<' 60, '>' 62, '?' 63).
  constexpr uint32_t kRefusedFrom32 = 1u << 2 | 1u << 10 | 1u << 26 | 1u << 28 | 1u << 30 | 1u << 31;
  if (c < 32) return true;
  if (c < 64) return (kRefusedFrom32 >> (c - 32)) & 1;
  return c == u'|';
}

// Windows drops trailing dots and spaces from a name ("trail." would be written as
// "trail", "..." could not be written at all), so they become "_" and every component is
// written under the name it is shown with. "." keeps its meaning.
void replaceTrailingDotsAndSpaces(char16_t* part, uint32_t n) {
  if (n == 1 && part[0] == u'.') return;
  while (n > 0 && (part[n - 1] == u'.' || part[n - 1] == u' ')) part[--n] = u'_';
}

}  // namespace

// A stored path becomes a path below the destination folder:
// - a "\\?\" or "\\.\" prefix and a drive designation (any character followed by ":" at
//   the start, as the runtime's path splitter sees it) are dropped;
// - leading separators, doubled separators and ".." components are dropped ("/" and "\"
//   both separate), so no component climbs and the result is never rooted;
// - a component that Windows would open as a device gets a "_" in front;
// - every code unit a Windows name cannot hold becomes "_" (so ":" can name neither a drive
//   nor an alternate data stream), then the trailing dots and spaces of each component.
// "." components stay ("./x" is harmless), as does a trailing separator ("dir/"). The rules
// are the same on every platform, so zsfx extract writes what the stub writes on Windows.
void makeSafeMemberPath(WideString& path) {
  const uint32_t n = path.length();
  if (n == 0) return;
  const char16_t* in = path.c_str();

  uint32_t pos = 0;
  if (n >= 4 && isSeparator(in[0]) && isSeparator(in[1]) && (in[2] == u'?' || in[2] == u'.') &&
      isSeparator(in[3])) {
    pos = 4;
  }
  if (n - pos >= 2 && in[pos + 1] == u':') pos += 2;

  // Every component may grow by one "_"; a component is at least 3 units long for that.
  char16_t* out = new char16_t[n + n / 3 + 2];
  uint32_t length = 0;
  char16_t pendingSeparator = 0;  // separator to write before the next kept component
  bool endsWithSeparator = false;
  while (pos < n) {
    const uint32_t begin = pos;
    while (pos < n && !isSeparator(in[pos])) ++pos;
    const uint32_t partLength = pos - begin;
    const char16_t separator = pos < n ? in[pos] : 0;
    if (pos < n) ++pos;
    endsWithSeparator = separator != 0;
    if (partLength == 0 || isClimbing(in + begin, partLength)) continue;
    if (pendingSeparator != 0) out[length++] = pendingSeparator;
    if (isDeviceName(in + begin, partLength)) out[length++] = u'_';
    const uint32_t partStart = length;
    for (uint32_t i = begin; i < begin + partLength; ++i) out[length++] = isRefusedByWindows(in[i]) ? u'_' : in[i];
    replaceTrailingDotsAndSpaces(out + partStart, length - partStart);
    pendingSeparator = separator;
  }
  if (endsWithSeparator && length > 0) out[length++] = pendingSeparator;
  out[length] = 0;
  path.adopt(out);
}

bool parentFolder(WideString& path) {
  uint32_t n = path.length();
  if (n == 0) return false;
  WideString copy(path);
  char16_t* text = copy.charAt(0);
  if (isSeparator(text[n - 1])) text[--n] = 0;
  if (n == 0) return false;
  for (uint32_t i = n - 1; i >= 1; --i) {
    if (!isSeparator(text[i])) continue;
    if (text[i - 1] == u':') return false;  // the root of a drive, as in C:\x
    text[i] = 0;
    path.assign(text);
    return true;
  }
  if (!isSeparator(text[0])) return false;
  text[1] = 0;  // the root of the current drive
  path.assign(text);
  return true;
}

bool createFolderChain(const char16_t* path) {
  if (platform::createDirectory(path)) return true;
  if (platform::isAlreadyExistsError(platform::lastError())) return true;
  WideString parent(path);
  if (!parentFolder(parent)) return false;
  if (!createFolderChain(parent.c_str())) return false;
  // Creating the parent can create this folder too: "a/." is "a" itself.
  return platform::createDirectory(path) || platform::isAlreadyExistsError(platform::lastError());
}

std::unique_ptr<FileObject> openOutputFile(const char16_t* path, uint32_t access, uint32_t shareMode,
                                           uint32_t disposition) {
  // The parent folder ends at the last separator of either kind: directory texts of the
  // headers use "/", MS-DOS names "\".
  WideString parent(path);
  const uint32_t n = parent.length();
  uint32_t cut = n;
  while (cut > 0 && !isSeparator(*parent.charAt(cut - 1))) --cut;
  if (cut > 1) {
    *parent.charAt(cut - 1) = 0;
    if (!createFolderChain(parent.c_str())) return nullptr;
  }
  std::unique_ptr<FileObject> file(new (std::nothrow) FileObject);
  if (file == nullptr) return nullptr;
  file->open(path, access, shareMode, disposition, platform::ATTRIBUTE_NORMAL);
  return file;
}
