#include "core/stub_switches.h"

namespace {

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

char16_t upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// True when text starts with name (upper case ASCII), whatever the case of text.
bool startsWith(const char16_t* text, const char* name) {
  for (; *name; ++text, ++name) {
    if (upper(*text) != static_cast<char16_t>(*name)) return false;
  }
  return true;
}

// Copies [begin, end) without one pair of enclosing quotes; false when nothing is left.
bool takeValue(const char16_t* begin, const char16_t* end, WideString& value) {
  if (end - begin >= 2 && *begin == u'"' && end[-1] == u'"') {
    ++begin;
    --end;
  }
  if (begin == end) return false;
  value.clear();
  value.appendText(u"");
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
    const char16_t* name = p + 1;
    const char16_t* end = p;  // end of this argument
    if (*p == u'"') {
      for (++end; *end && *end != u'"'; ++end) {
      }
      if (*end) ++end;
    }
    while (*end && !isBlank(*end)) ++end;
    const uint32_t nameLength = static_cast<uint32_t>(end - name);
    if (*p != u'/' && *p != u'-') {
      switches.unknown = true;
    } else if (startsWith(name, "D=")) {
      // The rest of the line, trailing blanks dropped.
      const char16_t* last = name + 2;
      while (*last) ++last;
      while (last > name + 2 && isBlank(last[-1])) --last;
      if (!takeValue(name + 2, last, switches.destination)) switches.unknown = true;
      break;
    } else if (startsWith(name, "LOG=")) {
      // A quoted value may hold spaces: the argument runs to the closing quote.
      const char16_t* value = name + 4;
      if (*value == u'"') {
        for (end = value + 1; *end && *end != u'"'; ++end) {
        }
        if (*end) ++end;
      }
      if (!takeValue(value, end, switches.logFile)) switches.unknown = true;
    } else if (nameLength == 1 && upper(*name) == u'S') {
      switches.silent = true;
    } else if (nameLength == 5 && startsWith(name, "NORUN")) {
      switches.noRun = true;
    } else if (nameLength == 1 && *name == u'?') {
      switches.help = true;
    } else {
      switches.unknown = true;
    }
    p = end;
  }
  return switches;
}
