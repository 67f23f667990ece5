#include "platform/utf16.h"

namespace platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at text[*i] and moves past it; surrogates are let through.
char32_t DecodeOne(std::string_view text, size_t* i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(*i);
  int extra;
  char32_t value;
  if (lead < 0x80) {
    ++*i;
    return lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, value = lead & 0x07;
  } else {
    ++*i;
    return kReplacement;
  }
  size_t k = *i + 1;
  for (; k < text.size() && k <= *i + static_cast<size_t>(extra); ++k) {
    if ((byte(k) & 0xC0) != 0x80) break;
    value = (value << 6) | (byte(k) & 0x3F);
  }
  const bool whole = k == *i + static_cast<size_t>(extra) + 1;
  *i = k;
  static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  if (!whole || value < kLeast[extra] || value > 0x10FFFF) return kReplacement;
  return value;
}

void Encode(char32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
    return;
  }
  if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  }
  *out += static_cast<char>(0x80 | (c & 0x3F));
}

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::u16string ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const char32_t c = DecodeOne(text, &i);
    if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::string FromUtf16(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    Encode(c, &out);
  }
  return out;
}

}  // namespace platform
