// Fuzz input as a file the engine can open: FileObject reads through a system handle, so
// each input is written to one scratch file of this process and opened from there.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/file_object.h"

class FuzzFile {
 public:
  FuzzFile() {
    char pattern[] = "/tmp/zolt-fuzz-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0) std::abort();
    close(fd);
    path_ = pattern;
    for (char c : path_) path16_ += static_cast<char16_t>(c);
  }
  ~FuzzFile() { unlink(path_.c_str()); }

  // Replaces the file's contents by data and opens it for reading into file.
  void load(const uint8_t* data, size_t size, FileObject& file) {
    FILE* f = std::fopen(path_.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (size != 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
    file.open(path16_.c_str(), platform::GENERIC_READ_ACCESS, platform::SHARE_READ,
              platform::DISPOSITION_OPEN_EXISTING, platform::ATTRIBUTE_NORMAL);
    if (!file.isOpen()) std::abort();
  }

 private:
  std::string path_;
  std::u16string path16_;
};
