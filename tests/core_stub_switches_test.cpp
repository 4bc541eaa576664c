#include "core/stub_switches.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  const char16_t* arguments;
  bool silent, noRun, help, unknown;
  const char16_t* destination;  // null: no /D=
  const char16_t* logFile;      // null: no /LOG=
};

// Expected results, one line per command line as a caller would type it.
const Case kCases[] = {
    {u"", false, false, false, false, nullptr, nullptr},
    {u"   ", false, false, false, false, nullptr, nullptr},
    {u"/S", true, false, false, false, nullptr, nullptr},
    {u"-s", true, false, false, false, nullptr, nullptr},
    {u"/s /norun", true, true, false, false, nullptr, nullptr},
    {u"-NoRun", false, true, false, false, nullptr, nullptr},
    {u"/?", false, false, true, false, nullptr, nullptr},
    {u"/S /D=C:\\Program Files\\Zolt App  ", true, false, false, false, u"C:\\Program Files\\Zolt App", nullptr},
    {u"/D=\"C:\\with quotes\\\"", false, false, false, false, u"C:\\with quotes\\", nullptr},
    {u"/d=rel\\dir", false, false, false, false, u"rel\\dir", nullptr},
    // /D= takes the rest of the line, even what looks like another switch.
    {u"/D=x /S", false, false, false, false, u"x /S", nullptr},
    {u"/LOG=out.log /S", true, false, false, false, nullptr, u"out.log"},
    {u"/log=\"C:\\my logs\\a.log\" /NORUN", false, true, false, false, nullptr, u"C:\\my logs\\a.log"},
    {u"/S\t/LOG=a.log", true, false, false, false, nullptr, u"a.log"},
    // Unknown or malformed.
    {u"/X", false, false, false, true, nullptr, nullptr},
    {u"/SILENT", false, false, false, true, nullptr, nullptr},
    {u"/S /NORUNS", true, false, false, true, nullptr, nullptr},
    {u"setup", false, false, false, true, nullptr, nullptr},
    {u"/", false, false, false, true, nullptr, nullptr},
    {u"/D=", false, false, false, true, nullptr, nullptr},
    {u"/D=\"\"", false, false, false, true, nullptr, nullptr},
    {u"/LOG=", false, false, false, true, nullptr, nullptr},
    // Quoted whole, as Python's subprocess, .NET's ArgumentList, PowerShell and Wine pass
    // an argument that holds a space; backslashes before a quote as the C runtime reads them.
    {u"\"/S\"", true, false, false, false, nullptr, nullptr},
    {u"/S \"/D=C:\\Program Files\\App\"", true, false, false, false, u"C:\\Program Files\\App", nullptr},
    {u"\"/LOG=C:\\my logs\\x.log\" \"/NORUN\"", false, true, false, false, nullptr, u"C:\\my logs\\x.log"},
    {u"/LOG=a\\\\\"b c\" /S", true, false, false, false, nullptr, u"a\\b c"},
    {u"/LOG=\"a\\\"b\"", false, false, false, false, nullptr, u"a\"b"},
    {u"\"/X\"", false, false, false, true, nullptr, nullptr},
};

TEST(StubSwitches, ParsesTheArgumentsAsCallersWriteThem) {
  for (const Case& c : kCases) {
    const std::u16string arguments = c.arguments;
    SCOPED_TRACE(std::string(arguments.begin(), arguments.end()));
    const StubSwitches s = parseStubSwitches(c.arguments);
    EXPECT_EQ(s.silent, c.silent);
    EXPECT_EQ(s.noRun, c.noRun);
    EXPECT_EQ(s.help, c.help);
    EXPECT_EQ(s.unknown, c.unknown);
    EXPECT_EQ(s.destination.hasText(), c.destination != nullptr);
    EXPECT_EQ(std::u16string(s.destination.c_str()), c.destination ? c.destination : u"");
    EXPECT_EQ(s.logFile.hasText(), c.logFile != nullptr);
    EXPECT_EQ(std::u16string(s.logFile.c_str()), c.logFile ? c.logFile : u"");
  }
}

TEST(StubSwitches, ArgumentsStartAfterTheProgramName) {
  EXPECT_EQ(std::u16string(skipProgramName(u"\"C:\\My Files\\setup.exe\" /S")), u" /S");
  EXPECT_EQ(std::u16string(skipProgramName(u"setup.exe /D=x")), u" /D=x");
  EXPECT_EQ(std::u16string(skipProgramName(u"setup.exe")), u"");
  EXPECT_EQ(std::u16string(skipProgramName(u"\"unterminated")), u"");
}

}  // namespace
