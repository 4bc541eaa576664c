#include "tools/zsfx/stub_language.h"

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
