// The texts of the stub and of its run's messages, in the language of the self-extracting
// file: Japanese, or English when its maker asked for it. A message that names something (a
// member, a folder, a shortcut, a program) is before + the name + after; the system's
// reason, where there is one, follows on a line of its own.
#pragma once

#include <cstdint>
#include <memory>

enum class Language : uint8_t { japanese, english };

enum class Text : uint8_t {
  fileBefore,
  folderBefore,
  shortcutBefore,
  programBefore,
  corruptedAfter,     // the file's data does not match its CRC
  cannotCreateAfter,  // a file, a folder or a shortcut
  cannotWriteAfter,
  cannotStartAfter,   // a program
  folderClashBefore,  // a folder stands where the member's file must go
  folderClashAfter,
  fileClash,          // the reason when a file stands where a folder must go
  notEnoughSpace,     // then the space needed and the space free, in MB
  spaceNeeded,
  spaceFree,
  damagedDownload,    // the payload is cut or damaged
  switchesHelp,       // the box of /? and of an unknown switch
  browseTitle,        // above the folder browser's tree
  count
};

inline constexpr unsigned TEXT_COUNT = static_cast<unsigned>(Text::count);

class RunTexts {
 public:
  RunTexts() { use(Language::japanese); }
  RunTexts(const RunTexts&) = delete;
  RunTexts& operator=(const RunTexts&) = delete;

  void use(Language language);
  Language language() const { return language_; }
  const char16_t* operator[](Text text) const { return texts_[static_cast<unsigned>(text)]; }

 private:
  const char16_t* texts_[TEXT_COUNT];
  std::unique_ptr<char16_t[]> widened_;  // the English texts, once they are used
  Language language_ = Language::japanese;
};
