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

// One argument from p, by the rules of the C runtime and CommandLineToArgvW: it ends at a
// blank outside quotes; a quote toggles quoting and is dropped; 2n backslashes before a
// quote stand for n, 2n + 1 for n and a literal quote; other backslashes are themselves.
// Scripts quote a whole argument that holds a space ("/D=C:\Program Files\App"), so that is
// the form most switches arrive in. Returns where the argument ends.
const char16_t* takeArgument(const char16_t* p, WideString& argument) {
  argument.assign(u"");
  bool quoted = false;
  while (*p && (quoted || !isBlank(*p))) {
    uint32_t backslashes = 0;
    while (*p == u'\\') {
      ++backslashes;
      ++p;
    }
    if (*p == u'"') {
      for (uint32_t i = 0; i < backslashes / 2; ++i) argument.appendChar(u'\\');
      if (backslashes % 2 == 1) {
        argument.appendChar(u'"');
      } else {
        quoted = !quoted;
      }
      ++p;
    } else {
      for (uint32_t i = 0; i < backslashes; ++i) argument.appendChar(u'\\');
      if (*p && (quoted || !isBlank(*p))) argument.appendChar(*p++);
    }
  }
  return p;
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
  WideString argument;
  for (;;) {
    while (isBlank(*p)) ++p;
    if (*p == 0) break;
    const char16_t* start = p;
    p = takeArgument(p, argument);
    const char16_t* text = argument.c_str();
    const bool isSwitch = *text == u'/' || *text == u'-';
    const char16_t* value;
    if (!isSwitch) {
      switches.unknown = true;
    } else if (afterName(text + 1, "D=") != nullptr) {
      // The rest of the line as it stands, trailing blanks dropped, so that a path with
      // spaces needs no quotes; one pair of quotes around the value or around the whole
      // switch is removed.
      const bool switchQuoted = *start == u'"';
      value = afterName(start + (switchQuoted ? 2 : 1), "D=");
      if (value == nullptr) {
        switches.unknown = true;  // quotes inside the name: /"D=..."
        break;
      }
      const char16_t* last = value + wideLength(value);
      while (last > value && isBlank(last[-1])) --last;
      if (switchQuoted && last > value && last[-1] == u'"') --last;
      if (!takeValue(value, last, switches.destination)) switches.unknown = true;
      break;
    } else if ((value = afterName(text + 1, "LOG=")) != nullptr) {
      if (!takeValue(value, value + wideLength(value), switches.logFile)) switches.unknown = true;
    } else if (afterName(text + 1, "S") != nullptr && text[2] == 0) {
      switches.silent = true;
    } else if (afterName(text + 1, "NORUN") != nullptr && text[6] == 0) {
      switches.noRun = true;
    } else if (afterName(text + 1, "?") != nullptr && text[2] == 0) {
      switches.help = true;
    } else {
      switches.unknown = true;
    }
  }
  return switches;
}
