// FileObject: the wrapper of one system file handle, the one way the engine reads and writes
// files. Every operation on an object that is not open fails quietly with its failure value.
#pragma once

#include <cstdint>

#include "core/wide_string.h"
#include "platform/platform.h"

class FileObject {
 public:
  FileObject() = default;
  FileObject(const FileObject&) = delete;
  FileObject& operator=(const FileObject&) = delete;
  ~FileObject() { close(); }

  void open(const char16_t* path, uint32_t access, uint32_t shareMode, uint32_t disposition,
            uint32_t flags);
  bool isOpen() const { return platform::isOpen(handle_); }
  // Bytes read (0 at the end of the file) or -1.
  int32_t read(uint32_t count, void* buffer);
  int32_t readByte(uint8_t* destination);
  // Replaces target by n + 1 zero units, reads 2n bytes (UTF-16LE) into them. -1 when not
  // open or the read fails, else the number of bytes read.
  int32_t readCountedString(uint32_t n, WideString& target);
  bool write(const void* buffer, uint32_t count);
  bool seek(int64_t distance, int moveMethod);
  int64_t tell();
  // The file's size in bytes; -1 when not open or the system cannot tell.
  int64_t size() const;
  // Closes the handle now (a file must be closed before it can be renamed or deleted on
  // Windows); the destructor does it otherwise.
  void close();

  platform::FileHandle handle() const { return handle_; }

 private:
  platform::FileHandle handle_ = platform::kNullHandle;
};
