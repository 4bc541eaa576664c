#include "tools/zsfx/stub_language.h"

#include "core/file_object.h"
#include "platform/platform.h"

namespace {

struct LanguageName {
  const char* name;
  uint8_t value;
};

constexpr LanguageName kLanguages[] = {{"ja", STUB_LANGUAGE_AS_BUILT}, {"en", 1}, {"auto", 2}};

}  // namespace

bool parseStubLanguage(const std::string& name, uint8_t& value) {
  for (const LanguageName& language : kLanguages) {
    if (name == language.name) {
      value = language.value;
      return true;
    }
  }
  return false;
}

std::string stubLanguageName(uint8_t value) {
  for (const LanguageName& language : kLanguages) {
    if (value == language.value) return language.name;
  }
  return "unknown (" + std::to_string(value) + ")";
}

bool readStubLanguage(FileObject& file, uint8_t& value) {
  return file.seek(STUB_LANGUAGE_OFFSET, platform::SEEK_FROM_BEGIN) && file.read(1, &value) == 1;
}
