#include "tools/zsfx/archive_input.h"

#include <cstdint>
#include <memory>

#include "core/payload_offset.h"
#include "platform/platform.h"
#include "tools/zsfx/text.h"

namespace {

std::string systemText(uint32_t code) {
  char16_t text[512];
  if (platform::systemErrorText(code, text, 512) > 0) return toUtf8(text);
  return "error " + std::to_string(code);
}

// A plain archive starts with a member header ("-xxx-" at offset 2) or is just the
// end-of-archive byte.
bool looksLikeLzh(const uint8_t* head, int32_t length) {
  if (length >= 1 && head[0] == 0) return true;
  return length >= 22 && head[2] == '-' && head[6] == '-';
}

}  // namespace

bool openArchiveInput(const std::u16string& path, SfxApp& app, ArchiveKind& kind, std::string& error) {
  auto file = std::make_unique<FileObject>();
  file->open(path.c_str(), platform::GENERIC_READ_ACCESS, platform::SHARE_READ, platform::DISPOSITION_OPEN_EXISTING,
             platform::ATTRIBUTE_NORMAL);
  if (!file->isOpen()) {
    error = toUtf8(path) + ": " + systemText(platform::lastError());
    return false;
  }
  uint8_t head[22] = {};
  const int32_t got = file->read(sizeof head, head);
  if (got >= 2 && head[0] == 'M' && head[1] == 'Z') {
    kind = ArchiveKind::selfExtracting;
    uint64_t offset = 0;
    if (!findPayloadOffset(*file, &offset)) {
      error = toUtf8(path) + ": not a self-extracting file (damaged PE headers)";
      file->close();
      return false;
    }
    file->close();
    if (!openPayloadFrom(app, path.c_str())) {
      error = toUtf8(path) + ": no settings block and archive after the stub image";
      return false;
    }
    return true;
  }
  if (!looksLikeLzh(head, got)) {
    error = toUtf8(path) + ": not an LZH archive or self-extracting file";
    file->close();
    return false;
  }
  if (!file->seek(0, platform::SEEK_FROM_BEGIN)) {
    error = toUtf8(path) + ": " + systemText(platform::lastError());
    file->close();
    return false;
  }
  kind = ArchiveKind::plainLzh;
  app.archiveFile = std::move(file);
  return true;
}
