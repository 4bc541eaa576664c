#include "core/stub_switches.h"

namespace {

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

char16_t upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// The text after name (upper case ASCII) when text starts with it, whatever the case of
// text; null otherwise.
const char16_t* afterName(const char16_t* text, const char* name) {
  for (; *name; ++text, ++name) {
    if (upper(*text) != static_cast<char16_t>(*name)) return nullptr;
  }
  return text;
}

// Copies [begin, end) without one pair of enclosing quotes; false when nothing is left.
bool takeValue(const char16_t* begin, const char16_t* end, WideString& value) {
  if (end - begin >= 2 && *begin == u'"' && end[-1] == u'"') {
    ++begin;
    --end;
  }
  if (begin == end) return false;
  value.assign(u"");
  for (; begin != end; ++begin) value.appendChar(*begin);
  return true;
}

}  // namespace

const char16_t* skipProgramName(const char16_t* commandLine) {
  const char16_t* p = commandLine;
  if (*p == u'"') {
    ++p;
    while (*p && *p != u'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && !isBlank(*p)) ++p;
  }
  return p;
}

StubSwitches parseStubSwitches(const char16_t* arguments) {
  StubSwitches switches;
  const char16_t* p = arguments;
  for (;;) {
    while (isBlank(*p)) ++p;
    if (*p == 0) break;
    const bool isSwitch = *p == u'/' || *p == u'-';
    const char16_t* name = p + 1;
    // An argument ends at a blank outside quotes: /LOG="C:\my logs\a.log" is one.
    bool quoted = false;
    for (; *p && (quoted || !isBlank(*p)); ++p) {
      if (*p == u'"') quoted = !quoted;
    }
    const char16_t* value;
    if (!isSwitch) {
      switches.unknown = true;
    } else if ((value = afterName(name, "D=")) != nullptr) {
      // The rest of the line, trailing blanks dropped.
      const char16_t* last = value + wideLength(value);
      while (last > value && isBlank(last[-1])) --last;
      if (!takeValue(value, last, switches.destination)) switches.unknown = true;
      break;
    } else if ((value = afterName(name, "LOG=")) != nullptr) {
      if (!takeValue(value, p, switches.logFile)) switches.unknown = true;
    } else if (afterName(name, "S") == p) {
      switches.silent = true;
    } else if (afterName(name, "NORUN") == p) {
      switches.noRun = true;
    } else if (afterName(name, "?") == p) {
      switches.help = true;
    } else {
      switches.unknown = true;
    }
  }
  return switches;
}
