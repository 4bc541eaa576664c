// The settings block at the start of the SFX payload, and the record it is read into.
#pragma once

#include <cstdint>

#include "core/file_object.h"
#include "core/wide_string.h"

// Option bytes: bit 1 makes the shortcut, bit 0 lets the user change that in the dialog.
inline constexpr uint8_t OPTION_CHANGEABLE = 1;
inline constexpr uint8_t OPTION_ON = 2;

// Title used when the block carries none.
inline constexpr char16_t DEFAULT_TITLE[] = u"Zolt SFX";

struct SfxSettings {
  uint8_t complete = 0;  // 1 only when every field of a non-zero-marker block was read
  WideString title;
  WideString destination;  // absolute, composed by readSettings
  WideString shortcutTarget;
  WideString programToRun;
  WideString shortcutName;
  uint8_t startMenuOption = 0;
  uint8_t desktopOption = 0;
  uint8_t sendToOption = 0;
};

// Reads the block at the file's position into settings (which must be in its initial
// state). True when the block was read, the 1-byte block with marker 0 included; the file
// then stands on the first byte of the LZH archive.
bool readSettings(FileObject& file, SfxSettings& settings);

// GetCurrentDirectoryW into a 260-unit buffer; the empty text (not "no text") on failure or
// when the path does not fit.
WideString currentDirectoryPath();
// The path of a shell special folder (CSIDL), or the empty text.
WideString shellFolderPath(int csidl);
