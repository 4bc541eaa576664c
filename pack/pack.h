// Writers used by `zsfx make` and `zsfx pack`: the settings block and LZH archives of a folder.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// What `zsfx make` puts into the settings block. Strings are UTF-16, at most 255 units each.
struct SettingsBlockSpec {
  bool present = true;  // false writes the 1-byte block with marker 0
  std::u16string title;
  bool programFilesBase = false;
  std::u16string destination;
  std::u16string shortcutTarget;
  uint8_t startMenuOption = 0;
  uint8_t desktopOption = 0;
  uint8_t sendToOption = 0;
  std::u16string programToRun;
  std::u16string shortcutName;
};

// The block's bytes; false with a message when a string is longer than 255 units.
bool encodeSettingsBlock(const SettingsBlockSpec& spec, std::vector<uint8_t>& out, std::string& error);

enum class PackMethod { lh0, lh5, lh6, lh7 };
enum class PackLevel { fast, normal, best };

struct PackOptions {
  PackMethod method = PackMethod::lh0;
  PackLevel level = PackLevel::normal;
};

// Writes an LZH archive (level-2 headers, UTF-16 names, directory entries, modification
// times, CRC-16, end-of-archive byte) of everything inside folder (not the folder itself)
// to out. False with a message naming the file on failure.
bool packFolder(const std::filesystem::path& folder, const PackOptions& options, std::FILE* out,
                std::string& error);
