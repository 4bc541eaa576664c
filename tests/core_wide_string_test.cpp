#include "core/wide_string.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

namespace {

std::u16string text(const WideString& s) { return s.c_str(); }

}  // namespace

TEST(WideStringStates, NoTextAndEmptyTextDiffer) {
  WideString none;
  WideString empty(u"");
  WideString fromNull(nullptr);
  EXPECT_FALSE(none.hasText());
  EXPECT_FALSE(fromNull.hasText());
  EXPECT_TRUE(empty.hasText());
  EXPECT_EQ(none.length(), 0u);
  EXPECT_EQ(empty.length(), 0u);
  // Readers accept both: c_str and charAt never hand out null.
  ASSERT_NE(none.c_str(), nullptr);
  EXPECT_EQ(*none.c_str(), 0);
  EXPECT_EQ(*none.charAt(0), 0);
  EXPECT_TRUE(none.equals(u""));
  EXPECT_TRUE(empty.equals(nullptr));
}

TEST(WideStringStates, AppendAlwaysLeavesText) {
  WideString s;
  s.appendText(nullptr);
  EXPECT_TRUE(s.hasText());
  EXPECT_EQ(text(s), u"");
  WideString none;
  WideString t;
  t.append(none);
  EXPECT_TRUE(t.hasText());
}

TEST(WideStringStates, ClearAndSelfAssignment) {
  WideString s(u"abc");
  s.assign(s);
  s.assign(s.c_str());
  EXPECT_EQ(text(s), u"abc");
  s = s;
  EXPECT_EQ(text(s), u"abc");
  s.clear();
  EXPECT_FALSE(s.hasText());
  s.assign(nullptr);
  EXPECT_FALSE(s.hasText());
}

TEST(WideStringEdits, AppendsAndTrailingChar) {
  WideString s(u"C:");
  s.ensureTrailingChar(u'\\');
  s.ensureTrailingChar(u'\\');
  EXPECT_EQ(text(s), u"C:\\");
  s.appendText(u"dir");
  s.appendChar(u'/');
  s.append(s);
  EXPECT_EQ(text(s), u"C:\\dir/C:\\dir/");
  WideString empty(u"");
  empty.ensureTrailingChar(u'\\');
  EXPECT_EQ(text(empty), u"\\");
}

TEST(WideStringEdits, ResizeZeroedKeepsAPrefix) {
  WideString s(u"abcdef");
  s.resizeZeroed(4);
  EXPECT_EQ(text(s), u"abc");
  s.resizeZeroed(10);
  EXPECT_EQ(text(s), u"abc");
  EXPECT_EQ(*s.charAt(9), 0);
  WideString none;
  none.resizeZeroed(1);
  EXPECT_TRUE(none.hasText());
  EXPECT_EQ(none.length(), 0u);
}

TEST(WideStringEdits, ReplaceSeparators) {
  WideString s(u"a/b\\c\xFFFF" u"d");
  s.replaceSeparators(u'\\');
  EXPECT_EQ(text(s), u"a\\b\\c\\d");
  WideString none;
  none.replaceSeparators(u'/');
  EXPECT_FALSE(none.hasText());
}

TEST(WideStringAnsi, ShiftJisNamesConvert) {
  platform::setAnsiCodePage(932);
  WideString s;
  // "ソフト表示.txt": the trail bytes of ソ (0x83 0x5C) and 表 (0x95 0x5C) are 0x5C.
  s.assignFromAnsi("\x83\x5C\x83\x74\x83\x67\x95\x5C\x8E\xA6.txt");
  EXPECT_EQ(text(s), u"ソフト表示.txt");
  s.assignFromAnsi(nullptr);
  EXPECT_FALSE(s.hasText());
  s.assignFromAnsi("");
  EXPECT_TRUE(s.hasText());
  EXPECT_EQ(s.length(), 0u);
}

TEST(WideStringAnsi, UndefinedBytesBecomeReplacementCharacters) {
  platform::setAnsiCodePage(932);
  WideString s;
  // 0xA0 and 0xFD are undefined in code page 932; a lead byte cut off by the end likewise.
  s.assignFromAnsi("a\xA0" "b\xFD" "c\x83");
  EXPECT_EQ(text(s), u"a\uFFFDb\uFFFDc\uFFFD");
}

