#include "core/settings.h"

#include "platform/platform.h"

namespace {

// One option or length byte; false when the file ends or the read fails.
bool readByteField(FileObject& file, uint8_t& value) { return file.readByte(&value) == 1; }

// A length byte n followed by n UTF-16LE units; every one of the 2n bytes must arrive.
bool readStringField(FileObject& file, WideString& target) {
  uint8_t n = 0;
  if (!readByteField(file, n)) return false;
  return file.readCountedString(n, target) == 2 * static_cast<int32_t>(n);
}

// A destination with a drive designation ("C:..."): what the runtime's path splitter
// reports as a drive is any first character followed by a colon.
bool hasDriveDesignation(const WideString& path) {
  return path.length() >= 2 && *path.charAt(1) == u':';
}

}  // namespace

WideString currentDirectoryPath() {
  // GetCurrentDirectoryW reports the size it needs when the buffer is too small, so a
  // current directory longer than MAX_PATH is taken whole instead of being lost: losing it
  // would root a relative destination on the drive instead.
  WideString path;
  path.resizeZeroed(platform::MAX_PATH_UNITS);
  uint32_t length = platform::getCurrentDirectory(path.charAt(0), platform::MAX_PATH_UNITS);
  if (length >= platform::MAX_PATH_UNITS) {
    const uint32_t needed = length;
    path.resizeZeroed(needed);
    length = platform::getCurrentDirectory(path.charAt(0), needed);
    if (length >= needed) length = 0;
  }
  if (length == 0) path.assign(u"");
  return path;
}

WideString shellFolderPath(int csidl) {
  // No special folder is cut short.
  WideString buffer;
  buffer.resizeZeroed(platform::LONGEST_PATH_UNITS);
  if (!platform::shellFolderPath(csidl, buffer.charAt(0), platform::LONGEST_PATH_UNITS)) return WideString(u"");
  return WideString(buffer.c_str());
}

bool readSettings(FileObject& file, SfxSettings& settings) {
  uint8_t marker = 0;
  if (!readByteField(file, marker)) return false;
  if (marker == 0) {
    settings.title.assign(DEFAULT_TITLE);
    settings.destination = currentDirectoryPath();
    return true;
  }

  uint8_t titleLength = 0;
  if (!readByteField(file, titleLength)) return false;
  if (titleLength == 0) {
    settings.title.assign(DEFAULT_TITLE);
  } else if (file.readCountedString(titleLength, settings.title) != 2 * static_cast<int32_t>(titleLength)) {
    return false;
  }

  uint8_t programFilesBase = 0;
  if (!readByteField(file, programFilesBase)) return false;

  uint8_t destinationLength = 0;
  if (!readByteField(file, destinationLength)) return false;
  if (destinationLength == 0) {
    settings.destination = currentDirectoryPath();
  } else {
    WideString written;
    if (file.readCountedString(destinationLength, written) != 2 * static_cast<int32_t>(destinationLength)) {
      return false;
    }
    if (hasDriveDesignation(written)) {
      settings.destination = written;
    } else {
      // A relative destination hangs below Program Files or the current directory. No other
      // normalisation: "\Data" gives the base, "\" and "\Data".
      WideString base = programFilesBase != 0 ? shellFolderPath(platform::CSIDL_PROGRAM_FILES_ID)
                                              : currentDirectoryPath();
      base.ensureTrailingChar(u'\\');
      base.append(written);
      settings.destination = base;
    }
  }

  if (!readStringField(file, settings.shortcutTarget)) return false;
  if (!readByteField(file, settings.startMenuOption)) return false;
  if (!readByteField(file, settings.desktopOption)) return false;
  if (!readByteField(file, settings.sendToOption)) return false;
  if (!readStringField(file, settings.programToRun)) return false;
  if (!readStringField(file, settings.shortcutName)) return false;
  settings.complete = 1;
  return true;
}
