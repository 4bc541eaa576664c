#include "core/app.h"

#include "core/payload_offset.h"
#include "platform/platform.h"

bool openPayload(SfxApp& app) {
  char16_t ownPath[platform::MAX_PATH_UNITS] = {};
  const uint32_t length = platform::moduleFileName(ownPath, platform::MAX_PATH_UNITS);
  if (length == 0) {
    app.observer().showLastError();
    return false;
  }
  // GetModuleFileNameW cuts a name that does not fit; a cut name would open another file.
  if (length >= platform::MAX_PATH_UNITS) {
    app.observer().showSystemError(platform::pathTooLongError(), BOX_WARNING);
    return false;
  }
  return openPayloadFrom(app, ownPath);
}

bool openPayloadFrom(SfxApp& app, const char16_t* path) {
  app.archiveFile = std::make_unique<FileObject>();
  app.archiveFile->open(path, platform::GENERIC_READ_ACCESS, platform::SHARE_READ,
                        platform::DISPOSITION_OPEN_EXISTING, platform::ATTRIBUTE_NORMAL);
  if (!app.archiveFile->isOpen()) {
    app.observer().showLastError();
    return false;
  }
  // The payload starts where the image described by the file's own PE headers ends. A file
  // that is no PE image has no payload to find.
  uint64_t payloadOffset = 0;
  if (!findPayloadOffset(*app.archiveFile, &payloadOffset)) return false;
  if (!app.archiveFile->seek(static_cast<int64_t>(payloadOffset), platform::SEEK_FROM_BEGIN)) {
    app.observer().showLastError();
    return false;
  }
  // A file with nothing behind its image fails here, without a message.
  if (!readSettings(*app.archiveFile, app.settings)) return false;
  app.destinationFolder = app.settings.destination;
  return true;
}
