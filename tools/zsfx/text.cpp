#include "tools/zsfx/text.h"

#include <cstdio>

#include "platform/utf8.h"

std::string toUtf8(const char16_t* text) { return utf16ToUtf8(text); }
std::string toUtf8(const std::u16string& text) { return utf16ToUtf8(text.c_str()); }
std::u16string fromUtf8(const std::string& text) { return utf8ToUtf16(text.data(), text.size()); }

void printOut(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }
void printErr(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

std::string isoUtcTime(int64_t unixTime) {
  // Days to civil date (Howard Hinnant's algorithm), valid for negative times too.
  int64_t days = unixTime / 86400;
  int64_t seconds = unixTime % 86400;
  if (seconds < 0) seconds += 86400, days -= 1;
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  const int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(year),
                static_cast<long long>(month), static_cast<long long>(day),
                static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                static_cast<long long>(seconds % 60));
  return text;
}

std::string jsonString(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}
