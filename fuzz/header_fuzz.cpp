// The member walk of the run on arbitrary bytes: the pre-scan, then readMemberHeader in a
// loop, seeking to member start + packed size as the run does. Every path that comes out
// is made safe and must then be relative, without drive or climbing component.
#include <cstdlib>

#include "core/app.h"
#include "core/lzh_header.h"
#include "core/output_paths.h"
#include "fuzz/fuzz_file.h"

namespace {

bool isSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

void checkContained(const WideString& path) {
  const char16_t* p = path.c_str();
  const uint32_t n = path.length();
  if (n == 0) return;
  if (isSeparator(p[0])) std::abort();
  uint32_t begin = 0;
  for (uint32_t i = 0; i <= n; ++i) {
    if (i < n && p[i] == u':') std::abort();
    if (i == n || isSeparator(p[i])) {
      uint32_t end = i;
      while (end > begin && p[end - 1] == u' ') --end;
      if (end - begin == 2 && p[begin] == u'.' && p[begin + 1] == u'.') std::abort();
      begin = i + 1;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzFile scratch;
  SfxApp app;
  app.archiveFile = std::make_unique<FileObject>();
  scratch.load(data, size, *app.archiveFile);
  sumOriginalSizes(app);
  if (app.archiveFile->tell() != 0) std::abort();
  LzhHeader header;
  // Each member moves forward by at least its header, so the walk ends; the bound only
  // keeps a single input short.
  for (int members = 0; members < 1000; ++members) {
    if (readMemberHeader(app, header) != HeaderOutcome::member) break;
    const int64_t start = app.archiveFile->tell();
    if (start <= 0 || start > static_cast<int64_t>(size)) std::abort();
    WideString path(header.path);
    makeSafeMemberPath(path);
    checkContained(path);
    if (path.length() > header.path.length() + header.path.length() / 3 + 1) std::abort();
    app.archiveFile->seek(start + static_cast<int64_t>(header.packedSize), platform::SEEK_FROM_BEGIN);
  }
  return 0;
}
