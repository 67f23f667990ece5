#pragma once
// Texts a test builds its expected lines from, by its own rule.

#include <ctime>

#include <cctype>
#include <string>

namespace testing_support {

// "yyyy-mm-dd hh:nn:ss" of a time in UTC.
inline std::string TimeText(time_t seconds) {
  char text[32];
  struct tm parts;
  gmtime_r(&seconds, &parts);
  strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &parts);
  return text;
}

// ASCII letters made small.
inline std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// A path as a JSON string holds it: each backslash doubled.
inline std::string JsonPath(const std::string& path) {
  std::string text;
  for (const char c : path) text += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return text;
}

}  // namespace testing_support
