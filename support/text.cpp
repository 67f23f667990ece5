#include "support/text.h"

#include <algorithm>

#include "platform/paths.h"

namespace support {

namespace {

bool IsTrimmed(unsigned char c) { return c <= 32; }

}  // namespace

std::string_view TrimView(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsTrimmed(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && IsTrimmed(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

std::string Trim(std::string_view text) { return std::string(TrimView(text)); }

std::string TrimLeft(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size() && IsTrimmed(static_cast<unsigned char>(text[begin]))) ++begin;
  return std::string(text.substr(begin));
}

std::string TrimRight(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && IsTrimmed(static_cast<unsigned char>(text[end - 1]))) --end;
  return std::string(text.substr(0, end));
}

uint32_t NextChar(std::string_view text, size_t* pos) {
  const size_t i = *pos;
  const unsigned char b0 = static_cast<unsigned char>(text[i]);
  if (b0 < 0x80) {
    *pos = i + 1;
    return b0;
  }
  int length;
  uint32_t code;
  uint32_t minimum;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
    code = b0 & 0x1F;
    minimum = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    code = b0 & 0x0F;
    minimum = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    code = b0 & 0x07;
    minimum = 0x10000;
  } else {
    *pos = i + 1;
    return b0;
  }
  if (i + length > text.size()) {
    *pos = i + 1;
    return b0;
  }
  for (int k = 1; k < length; ++k) {
    const unsigned char b = static_cast<unsigned char>(text[i + k]);
    if ((b & 0xC0) != 0x80) {
      *pos = i + 1;
      return b0;
    }
    code = (code << 6) | (b & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not valid UTF-8.
  if (code < minimum || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
    *pos = i + 1;
    return b0;
  }
  *pos = i + length;
  return code;
}

size_t CharCount(std::string_view text) {
  size_t count = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    if (static_cast<unsigned char>(text[pos]) < 0x80)
      ++pos;
    else
      NextChar(text, &pos);
    ++count;
  }
  return count;
}

size_t CharOffset(std::string_view text, size_t index) {
  size_t pos = 0;
  while (index > 0 && pos < text.size()) {
    NextChar(text, &pos);
    --index;
  }
  return pos;
}

void AppendChar(std::string* out, uint32_t code) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

uint32_t FoldLower(uint32_t code) {
  if (code >= 'A' && code <= 'Z') return code + 32;
  if (code >= 0xC0 && code <= 0xDE && code != 0xD7) return code + 32;
  return code;
}

uint32_t FoldUpper(uint32_t code) {
  if (code >= 'a' && code <= 'z') return code - 32;
  if (code >= 0xE0 && code <= 0xFE && code != 0xF7) return code - 32;
  return code;
}

int CompareText(std::string_view a, std::string_view b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const unsigned char ca = static_cast<unsigned char>(a[i]);
    const unsigned char cb = static_cast<unsigned char>(b[j]);
    uint32_t x;
    uint32_t y;
    if (ca < 0x80 && cb < 0x80) {
      x = FoldLower(ca);
      y = FoldLower(cb);
      ++i;
      ++j;
    } else {
      x = FoldLower(NextChar(a, &i));
      y = FoldLower(NextChar(b, &j));
    }
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  // Equal without regard to case: the bytes decide, so the order is total.
  const int bytes = a.compare(b);
  return bytes < 0 ? -1 : (bytes > 0 ? 1 : 0);
}

bool SameText(std::string_view a, std::string_view b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (FoldLower(NextChar(a, &i)) != FoldLower(NextChar(b, &j))) return false;
  }
  return i == a.size() && j == b.size();
}

std::string WithTrailingSlash(std::string path) { return platform::WithSeparator(std::move(path)); }

bool ReplaceLineBreaks(std::string* text) {
  bool changed = false;
  for (char& c : *text) {
    if (c == '\r' || c == '\n') {
      c = '?';
      changed = true;
    }
  }
  return changed;
}

}  // namespace support
