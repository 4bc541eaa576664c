// readSettings on arbitrary bytes: never reads past the block, and when it succeeds the file
// stands exactly behind the block it described.
#include <cstdlib>
#include <memory>

#include "core/settings.h"
#include "fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzFile scratch;
  FileObject file;
  scratch.load(data, size, file);
  SfxSettings settings;
  const bool read = readSettings(file, settings);
  if (read) {
    const int64_t consumed = file.tell();
    int64_t expected = 1;
    if (data[0] != 0) {
      // marker, title n, base, destination n, target n, 3 options, program n, name n.
      size_t at = 1;
      auto skipString = [&] { const size_t n = data[at]; at += 1 + 2 * n; };
      skipString();
      at += 1;
      skipString();
      skipString();
      at += 3;
      skipString();
      skipString();
      expected = static_cast<int64_t>(at);
      if (settings.complete != 1) std::abort();
    } else if (settings.complete != 0) {
      std::abort();
    }
    if (consumed != expected || consumed > static_cast<int64_t>(size)) std::abort();
  } else if (settings.complete != 0) {
    std::abort();
  }
  return 0;
}
