#pragma once
// The rule an alternate (DOS) name keeps, for tests to check names against.

#include <string>
#include <string_view>

namespace testing_support {

// Windows keeps an alternate 8.3 name for a name that is not one; Linux keeps none.
#ifdef _WIN32
constexpr bool kAlternateNames = true;
#else
constexpr bool kAlternateNames = false;
#endif

// At most eight characters, a dot and three more, none of them lower-case, a blank or
// one DOS refused.
inline bool IsEightDotThree(std::string_view name) {
  const size_t dot = name.find('.');
  const std::string_view base = name.substr(0, dot);
  const std::string_view ext = dot == name.npos ? std::string_view() : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3 || ext.find('.') != ext.npos) return false;
  for (const char c : std::string(base) + std::string(ext)) {
    const bool letter = c >= 'A' && c <= 'Z';
    const bool digit = c >= '0' && c <= '9';
    if (!letter && !digit &&
        std::string_view("!#$%&'()-@^_`{}~").find(c) == std::string_view::npos) {
      return false;
    }
  }
  return true;
}

}  // namespace testing_support
