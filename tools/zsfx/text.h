// Text at the edges of zsfx: UTF-16 inside, UTF-8 on the terminal and in arguments.
#pragma once

#include <cstdint>
#include <string>

std::string toUtf8(const char16_t* text);
std::string toUtf8(const std::u16string& text);
std::u16string fromUtf8(const std::string& text);

// Prints UTF-8 text to stdout or stderr.
void printOut(const std::string& text);
void printErr(const std::string& text);

// "2023-11-14T22:13:20Z" for a Unix time (proleptic Gregorian, any sign).
std::string isoUtcTime(int64_t unixTime);
// Text as a JSON string literal, quotes included.
std::string jsonString(const std::string& utf8);
