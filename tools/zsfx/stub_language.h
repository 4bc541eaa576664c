// The language of the stub's texts. make writes it into its copy of the stub, not into the
// settings block: the block keeps its format, and a file made for Japanese (the default) is
// byte for byte the file made before there was a choice.
#pragma once

#include <cstdint>
#include <string>

class FileObject;

// File offset of the language byte: the first of the DOS header's reserved words after the
// "LHA's SFX " mark (offsets 36..45) that the build stamps. The linker leaves these words
// zero and Windows ignores them; the stub reads this byte of its own file.
inline constexpr uint64_t STUB_LANGUAGE_OFFSET = 46;
// The value the build leaves there, and Japanese.
inline constexpr uint8_t STUB_LANGUAGE_AS_BUILT = 0;

// "ja" (0), "en" (1) or "auto" (2: Japanese when the user's UI language is Japanese, else
// English) to the byte; false for any other name.
bool parseStubLanguage(const std::string& name, uint8_t& value);
// The name --lang gives a byte, or "unknown (N)".
std::string stubLanguageName(uint8_t value);
// The language byte of the stub at the start of file; false when it cannot be read.
bool readStubLanguage(FileObject& file, uint8_t& value);
