#include "core/app.h"

#include "core/payload_offset.h"
#include "platform/platform.h"

PayloadOpen openPayload(SfxApp& app) {
  // GetModuleFileNameW cuts a name that does not fit, and a cut name would open another
  // file: the buffer grows until the whole name fits, up to the longest path there is.
  WideString own;
  for (uint32_t capacity = platform::MAX_PATH_UNITS;; capacity *= 2) {
    own.resizeZeroed(capacity);
    const uint32_t length = platform::moduleFileName(own.charAt(0), capacity);
    if (length == 0) {
      app.observer().showLastError();
      return PayloadOpen::failed;
    }
    if (length < capacity) break;
    if (capacity >= platform::LONGEST_PATH_UNITS) {
      app.observer().showSystemError(platform::pathTooLongError(), BOX_WARNING);
      return PayloadOpen::failed;
    }
  }
  return openPayloadFrom(app, own.c_str());
}

PayloadOpen openPayloadFrom(SfxApp& app, const char16_t* path) {
  app.archiveFile = std::make_unique<FileObject>();
  FileObject& file = *app.archiveFile;
  file.open(path, platform::GENERIC_READ_ACCESS, platform::SHARE_READ, platform::DISPOSITION_OPEN_EXISTING,
            platform::ATTRIBUTE_NORMAL);
  if (!file.isOpen()) {
    app.observer().showLastError();
    return PayloadOpen::failed;
  }
  // The payload starts where the image described by the file's own PE headers ends. A file
  // that is no PE image has no payload to find.
  uint64_t payloadOffset = 0;
  if (!findPayloadOffset(file, &payloadOffset)) return PayloadOpen::noPayload;
  app.payloadStart = static_cast<int64_t>(payloadOffset);
  if (!file.seek(app.payloadStart, platform::SEEK_FROM_BEGIN)) {
    app.observer().showLastError();
    return PayloadOpen::failed;
  }
  // A bare stub, with nothing behind its image, has no payload; any byte there starts a
  // settings block, and a block that ends early is a file cut short.
  if (!readSettings(file, app.settings)) {
    return file.size() == app.payloadStart ? PayloadOpen::noPayload : PayloadOpen::cutSettings;
  }
  app.archiveStart = file.tell();
  app.destinationFolder = app.settings.destination;
  return PayloadOpen::ok;
}
