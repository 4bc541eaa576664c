// SfxApp: the run context shared by the user-interface thread and the extraction worker.
#pragma once

#include <cstdint>
#include <memory>

#include "core/file_object.h"
#include "core/settings.h"
#include "core/wide_string.h"

struct SfxApp {
  SfxApp() = default;
  SfxApp(const SfxApp&) = delete;
  SfxApp& operator=(const SfxApp&) = delete;
  ~SfxApp();  // closes and releases the archive file

  std::unique_ptr<FileObject> archiveFile;
  void* mainWindow = nullptr;   // HWND of the progress window (Windows only)
  void* textLine = nullptr;     // HWND of the member path line
  WideString currentOutputPath;  // file being written, relative to the destination
  WideString destinationFolder;  // the working destination
  SfxSettings settings;
  uint8_t errorFlag = 0;
};

// Opens the program's own file, moves to the payload and reads the settings block.
bool openPayload(SfxApp& app);
// The same for a self-extracting file named by path (used by zsfx): the payload offset is
// found from the file's own PE headers (findPayloadOffset). A file that cannot be opened or
// positioned shows the system error; a file that is no PE image, or has nothing behind its
// image, fails without a message.
bool openPayloadFrom(SfxApp& app, const char16_t* path);
