// SfxApp: the application object shared by the user-interface thread and the extraction
// worker: the archive file, the settings, the destination and the run.
#pragma once

#include <cstdint>
#include <memory>

#include "core/extraction_run.h"
#include "core/file_object.h"
#include "core/payload_check.h"
#include "core/run_texts.h"
#include "core/settings.h"
#include "core/wide_string.h"

struct SfxApp {
  explicit SfxApp(RunObserver& observer = quietObserver()) : run(observer) {}
  SfxApp(const SfxApp&) = delete;
  SfxApp& operator=(const SfxApp&) = delete;

  // Where every message of the program goes, in the run and before it.
  RunObserver& observer() const { return run.observer(); }

  std::unique_ptr<FileObject> archiveFile;
  // Where the payload (the settings block) and the LZH archive begin in the file; both 0 for
  // a plain archive.
  int64_t payloadStart = 0;
  int64_t archiveStart = 0;
  WideString destinationFolder;  // the working destination
  // What member paths are written below: empty while the destination is the current
  // directory; the destination with a final separator when it is too long to be one.
  WideString outputBase{u""};
  SfxSettings settings;
  // The texts of the stub and of the run's messages, in the file's language.
  RunTexts texts;
  // What surveyPayload found before the run: the run's total comes from it.
  PayloadSurvey payload;
  uint8_t errorFlag = 0;
  // Held here rather than made by the worker: the window's abort button may be pressed before
  // the worker starts, and that must not be lost.
  ExtractionRun run;
};

enum class PayloadOpen : uint8_t {
  ok,            // the settings block is read; the file stands on the archive's first byte
  failed,        // the file could not be opened or positioned; the system's text was shown
  noPayload,     // not a PE image, or nothing behind the image: nothing was shown
  cutSettings,   // the settings block ends early: a cut download; nothing was shown yet
};

// Opens the program's own file, moves to the payload and reads the settings block.
PayloadOpen openPayload(SfxApp& app);
// The same for a self-extracting file named by path (used by zsfx): the payload offset is
// found from the file's own PE headers (findPayloadOffset).
PayloadOpen openPayloadFrom(SfxApp& app, const char16_t* path);
