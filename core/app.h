// SfxApp: the application object shared by the user-interface thread and the extraction
// worker: the archive file, the settings, the destination and the run.
#pragma once

#include <cstdint>
#include <memory>

#include "core/extraction_run.h"
#include "core/file_object.h"
#include "core/settings.h"
#include "core/wide_string.h"

struct SfxApp {
  explicit SfxApp(RunObserver& observer = quietObserver()) : run(observer) {}
  SfxApp(const SfxApp&) = delete;
  SfxApp& operator=(const SfxApp&) = delete;

  // Where every message of the program goes, in the run and before it.
  RunObserver& observer() const { return run.observer(); }

  std::unique_ptr<FileObject> archiveFile;
  WideString currentOutputPath;  // file being written, relative to the destination
  WideString destinationFolder;  // the working destination
  SfxSettings settings;
  uint8_t errorFlag = 0;
  // Held here rather than made by the worker: the window's abort button may be pressed before
  // the worker starts, and that must not be lost.
  ExtractionRun run;
};

// Opens the program's own file, moves to the payload and reads the settings block.
bool openPayload(SfxApp& app);
// The same for a self-extracting file named by path (used by zsfx): the payload offset is
// found from the file's own PE headers (findPayloadOffset). A file that cannot be opened or
// positioned shows the system error; a file that is no PE image, or has nothing behind its
// image, fails without a message.
bool openPayloadFrom(SfxApp& app, const char16_t* path);
