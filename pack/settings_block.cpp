// The settings block that precedes the LZH archive in a self-extracting file.
//
// Layout: a marker byte (0: nothing follows, the stub uses its defaults), then the title, the
// Program-Files flag, the destination, the shortcut target, three option bytes, the program to
// run and the shortcut name. Every string is a one-byte count of UTF-16 units followed by the
// units, little-endian, without terminator.
#include "pack/pack.h"

namespace {

constexpr size_t kMaxStringUnits = 255;

bool appendCountedString(const std::u16string& text, const char* field, std::vector<uint8_t>& out,
                         std::string& error) {
  if (text.size() > kMaxStringUnits) {
    error = std::string(field) + " is " + std::to_string(text.size()) +
            " UTF-16 units long; the settings block holds at most 255";
    return false;
  }
  out.push_back(static_cast<uint8_t>(text.size()));
  for (char16_t unit : text) {
    out.push_back(static_cast<uint8_t>(unit & 0xFF));
    out.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return true;
}

}  // namespace

bool encodeSettingsBlock(const SettingsBlockSpec& spec, std::vector<uint8_t>& out, std::string& error) {
  std::vector<uint8_t> block;
  if (!spec.present) {
    block.push_back(0);
    out = std::move(block);
    return true;
  }
  block.push_back(1);
  if (!appendCountedString(spec.title, "title", block, error)) return false;
  block.push_back(spec.programFilesBase ? 1 : 0);
  if (!appendCountedString(spec.destination, "destination", block, error)) return false;
  if (!appendCountedString(spec.shortcutTarget, "shortcut target", block, error)) return false;
  block.push_back(spec.startMenuOption);
  block.push_back(spec.desktopOption);
  block.push_back(spec.sendToOption);
  if (!appendCountedString(spec.programToRun, "program to run", block, error)) return false;
  if (!appendCountedString(spec.shortcutName, "shortcut name", block, error)) return false;
  out = std::move(block);
  return true;
}
