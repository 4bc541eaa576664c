#include <io.h>

#include "pack/file_access.h"

std::FILE* openForReading(const std::filesystem::path& path) { return _wfopen(path.c_str(), L"rb"); }

bool tellOutput(std::FILE* file, uint64_t& position) {
  const __int64 at = _ftelli64(file);
  if (at < 0) return false;
  position = static_cast<uint64_t>(at);
  return true;
}

bool seekOutput(std::FILE* file, uint64_t position) { return _fseeki64(file, static_cast<__int64>(position), SEEK_SET) == 0; }

bool truncateOutput(std::FILE* file, uint64_t size) {
  return std::fflush(file) == 0 && _chsize_s(_fileno(file), static_cast<__int64>(size)) == 0;
}
