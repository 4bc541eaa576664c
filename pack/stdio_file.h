// A stdio file that closes itself on every path. close() reports whether what was buffered
// reached the file, which a write must check; the destructor is for the paths that failed
// already.
#pragma once

#include <cstdio>

class StdioFile {
 public:
  StdioFile() = default;
  explicit StdioFile(std::FILE* file) : file_(file) {}
  ~StdioFile() {
    if (file_) std::fclose(file_);
  }
  StdioFile(const StdioFile&) = delete;
  StdioFile& operator=(const StdioFile&) = delete;

  std::FILE* get() const { return file_; }
  explicit operator bool() const { return file_ != nullptr; }
  // True when the file was closed without an error (or was not open).
  bool close() {
    std::FILE* file = file_;
    file_ = nullptr;
    return file == nullptr || std::fclose(file) == 0;
  }

 private:
  std::FILE* file_ = nullptr;
};
