#include <sys/types.h>
#include <unistd.h>

#include "pack/file_access.h"

std::FILE* openForReading(const std::filesystem::path& path) { return std::fopen(path.c_str(), "rb"); }

bool tellOutput(std::FILE* file, uint64_t& position) {
  const off_t at = ftello(file);
  if (at < 0) return false;
  position = static_cast<uint64_t>(at);
  return true;
}

bool seekOutput(std::FILE* file, uint64_t position) { return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0; }

bool truncateOutput(std::FILE* file, uint64_t size) {
  return std::fflush(file) == 0 && ftruncate(fileno(file), static_cast<off_t>(size)) == 0;
}
