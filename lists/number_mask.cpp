#include "lists/number_mask.h"

namespace lists {

namespace {

bool IsPlace(char c) { return c == '0' || c == '#'; }

// Masks are short constants; longer ones are cut rather than allocating on the hot path.
constexpr size_t kMaxMask = 64;

}  // namespace

void AppendMasked(std::string* out, uint64_t value, std::string_view mask, size_t width) {
  if (mask.size() > kMaxMask) mask = mask.substr(0, kMaxMask);
  char digits[20];
  size_t digit_count = 0;  // significant digits, least significant first; none for 0
  for (uint64_t v = value; v != 0; v /= 10) digits[digit_count++] = static_cast<char>('0' + v % 10);

  size_t first_place = mask.size();
  size_t last_place = 0;
  size_t first_zero = mask.size();
  for (size_t i = 0; i < mask.size(); ++i) {
    if (!IsPlace(mask[i])) continue;
    if (first_place == mask.size()) first_place = i;
    last_place = i;
    if (mask[i] == '0' && first_zero == mask.size()) first_zero = i;
  }

  // Built backwards: the mask's characters plus the overflow digits at most.
  char text[kMaxMask + 20];
  size_t n = 0;
  size_t used = 0;
  for (size_t i = mask.size(); i-- > 0;) {
    const char c = mask[i];
    if (IsPlace(c)) {
      if (used < digit_count) {
        text[n++] = digits[used++];
      } else if (i >= first_zero) {
        // From the first "0" on every place is shown, "#" included.
        text[n++] = '0';
      }
      if (i == first_place) {
        while (used < digit_count) text[n++] = digits[used++];
      }
    } else if (i < first_place || i > last_place) {
      text[n++] = c;
    } else if (used < digit_count || first_zero < i) {
      // A separator between places shows only when a place left of it shows.
      text[n++] = c;
    }
  }

  if (width == 0) width = mask.size();
  if (n < width) out->append(width - n, ' ');
  for (size_t i = n; i-- > 0;) out->push_back(text[i]);
}

std::string FormatMasked(uint64_t value, std::string_view mask, size_t width) {
  std::string out;
  AppendMasked(&out, value, mask, width);
  return out;
}

void AppendHex(std::string* out, uint64_t value, size_t width) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  char text[16];
  size_t n = 0;
  do {
    text[n++] = kHexDigits[value & 15];
    value >>= 4;
  } while (value != 0);
  if (n < width) out->append(width - n, ' ');
  for (size_t i = n; i-- > 0;) out->push_back(text[i]);
}

void AppendDecimal(std::string* out, uint64_t value, size_t width) {
  char text[20];
  size_t n = 0;
  do {
    text[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  if (n < width) out->append(width - n, ' ');
  for (size_t i = n; i-- > 0;) out->push_back(text[i]);
}

}  // namespace lists
