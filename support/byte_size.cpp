#include "support/byte_size.h"

#include "support/text.h"

namespace support {

namespace {

// The power of 1024 a unit letter stands for; -1 for no unit letter.
int UnitPower(char c) {
  constexpr std::string_view kUnits = "kmgtpe";
  const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  const size_t at = kUnits.find(lower);
  return at == std::string_view::npos ? -1 : static_cast<int>(at) + 1;
}

}  // namespace

bool ParseByteSize(std::string_view text, uint64_t* bytes) {
  text = TrimView(text);
  size_t pos = 0;
  unsigned __int128 whole = 0;
  unsigned __int128 fraction = 0;  // the digits after the point, as a whole number
  unsigned __int128 scale = 1;     // 10 to the number of those digits
  bool digits = false;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    whole = whole * 10 + static_cast<unsigned>(text[pos] - '0');
    if (whole > UINT64_MAX) return false;
    digits = true;
  }
  if (pos < text.size() && text[pos] == '.') {
    for (++pos; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
      // Digits past the 18th cannot move a size below 2^64 by a whole byte.
      if (scale < 1'000'000'000'000'000'000ULL) {
        fraction = fraction * 10 + static_cast<unsigned>(text[pos] - '0');
        scale *= 10;
      }
      digits = true;
    }
  }
  if (!digits) return false;
  int power = 0;
  if (pos < text.size() && UnitPower(text[pos]) > 0) {
    power = UnitPower(text[pos++]);
    if (pos < text.size() && (text[pos] == 'i' || text[pos] == 'I')) {
      ++pos;
      if (pos == text.size()) return false;  // "ki" alone
    }
  }
  if (pos < text.size() && (text[pos] == 'B' || text[pos] == 'b')) ++pos;
  if (pos != text.size()) return false;
  const unsigned __int128 unit = static_cast<unsigned __int128>(1) << (10 * power);
  if (whole > UINT64_MAX / unit) return false;
  const unsigned __int128 value = whole * unit + fraction * unit / scale;
  if (value > UINT64_MAX) return false;
  *bytes = static_cast<uint64_t>(value);
  return true;
}

}  // namespace support
