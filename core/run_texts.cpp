#include "core/run_texts.h"

#include <cstddef>

namespace {

// Each language's texts in the order of Text, each ended by its own "\0". One array per
// language rather than a table of pointers: the stub's size limit has no room for the
// pointers and their relocations.
constexpr char16_t kJapanese[] =
    u"ファイル \0"
    u"フォルダ \0"
    u"ショートカット \0"
    u"プログラム \0"
    u" が壊れています。\0"
    u" を作成できません。\0"
    u" を書き込めません。\0"
    u" を起動できません。\0"
    u"\0"
    u" を解凍できません。同名のフォルダが存在します。\0"
    u"同名のファイルが存在します。\0"
    u"ディスクの空き容量が足りません。\0"
    u"\n必要な空き容量: \0"
    u"\n現在の空き容量: \0"
    u"このファイルは壊れているか、ダウンロードが途中で切れています。もう一度ダウンロードしてください。\0"
    u"使い方: ファイル名 [スイッチ]\n\n"
    u"/S\t画面を表示せずに解凍します。\n"
    u"/D=フォルダ\t解凍先フォルダ。最後に指定します。\n"
    u"/NORUN\t解凍後にプログラムを起動しません。\n"
    u"/LOG=ファイル\t結果をファイルに追記します。\n"
    u"/?\tこの説明を表示します。\0"
    u"解凍先フォルダの指定\0";

// English is plain ASCII, so it is stored a byte per character and widened when it is used:
// half the bytes.
constexpr char kEnglish[] =
    "The file \0"
    "The folder \0"
    "The shortcut \0"
    "The program \0"
    " is damaged.\0"
    " cannot be created.\0"
    " cannot be written.\0"
    " cannot be started.\0"
    "Cannot extract \0"
    ". A folder of that name is in the way.\0"
    "A file of that name is in the way.\0"
    "There is not enough free disk space.\0"
    "\nNeeded: \0"
    "\nFree: \0"
    "This file is damaged or was not downloaded completely. Please download it again.\0"
    "Usage: file name [switches]\n\n"
    "/S\tExtracts without showing any window.\n"
    "/D=folder\tThe destination folder. Must come last.\n"
    "/NORUN\tDoes not start the program afterwards.\n"
    "/LOG=file\tAdds the results to the file.\n"
    "/?\tShows this help.\0"
    "Select the destination folder.\0";

template <typename Unit, size_t n>
constexpr bool holdsEveryText(const Unit (&texts)[n]) {
  size_t ends = 0;
  for (Unit unit : texts) ends += unit == 0;
  return ends == TEXT_COUNT + 1;  // and the array's own terminator
}
static_assert(holdsEveryText(kJapanese) && holdsEveryText(kEnglish), "one text per Text, in its order");

constexpr bool isAscii(const char* text, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  }
  return true;
}
static_assert(isAscii(kEnglish, sizeof kEnglish), "the English texts are widened byte by byte");

}  // namespace

void RunTexts::use(Language language) {
  language_ = language;
  const char16_t* text = kJapanese;
  if (language == Language::english) {
    if (!widened_) {
      widened_.reset(new char16_t[sizeof kEnglish]);
      for (size_t i = 0; i < sizeof kEnglish; ++i) widened_[i] = static_cast<char16_t>(kEnglish[i]);
    }
    text = widened_.get();
  }
  for (const char16_t*& entry : texts_) {
    entry = text;
    while (*text++ != 0) {
    }
  }
}
