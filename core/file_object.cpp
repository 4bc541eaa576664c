#include "core/file_object.h"

void FileObject::open(const char16_t* path, uint32_t access, uint32_t shareMode, uint32_t disposition,
                      uint32_t flags) {
  close();
  handle_ = platform::openFile(path, access, shareMode, disposition, flags);
}

int32_t FileObject::read(uint32_t count, void* buffer) {
  if (!isOpen()) return -1;
  return platform::readFile(handle_, buffer, count);
}

int32_t FileObject::readByte(uint8_t* destination) { return read(1, destination); }

int32_t FileObject::readCountedString(uint32_t n, WideString& target) {
  if (!isOpen()) return -1;
  target.resizeZeroed(n + 1);
  const int32_t got = read(2 * n, target.charAt(0));
  if (got < 0) return -1;
  // The units arrive little-endian; on a big-endian host they would need swapping, which no
  // target of this program is.
  *target.charAt(n) = 0;
  return got;
}

bool FileObject::write(const void* buffer, uint32_t count) {
  if (!isOpen()) return false;
  return platform::writeFile(handle_, buffer, count);
}

bool FileObject::seek(int64_t distance, int moveMethod) {
  if (!isOpen()) return false;
  return platform::seekFile(handle_, distance, moveMethod, nullptr);
}

int64_t FileObject::tell() {
  if (!isOpen()) return 0;
  int64_t position = 0;
  if (!platform::seekFile(handle_, 0, platform::SEEK_FROM_CURRENT, &position)) return 0;
  return position;
}

int64_t FileObject::size() const {
  uint64_t bytes = 0;
  if (!isOpen() || !platform::fileSize(handle_, &bytes)) return -1;
  return static_cast<int64_t>(bytes);
}

void FileObject::close() {
  if (!isOpen()) return;
  platform::closeFile(handle_);
  handle_ = platform::kNullHandle;
}
