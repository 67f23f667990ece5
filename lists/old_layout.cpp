#include "lists/old_layout.h"

#include <fmt/format.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "lists/list_format.h"
#include "support/text.h"

namespace lists {

namespace {

// Lines shorter than this are not in the old layout.
constexpr size_t kOldLineMinChars = 80;
// The old layout's extra character, 0-based.
constexpr size_t kOldExtraChar = 76;
// From the "/" of "/p" to the character that becomes a blank.
constexpr size_t kPathFlagOffset = 7;
// The fixed part of an R line ends this many characters before its bar.
constexpr size_t kHeadBeforeBar = 6;

// A line as its characters, each the bytes of one code point (or one invalid byte), so
// that counting and cutting never split a sequence or re-encode a byte.
using Chars = std::vector<std::string_view>;

Chars SplitChars(std::string_view text) {
  Chars chars;
  chars.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t start = pos;
    support::NextChar(text, &pos);
    chars.push_back(text.substr(start, pos - start));
  }
  return chars;
}

std::string Join(Chars::const_iterator begin, Chars::const_iterator end) {
  std::string text;
  for (auto it = begin; it != end; ++it) text += *it;
  return text;
}

std::string Join(const Chars& chars) { return Join(chars.begin(), chars.end()); }

// Index of the first character equal to `c`, or chars.size().
size_t FindChar(const Chars& chars, std::string_view c) {
  for (size_t i = 0; i < chars.size(); ++i) {
    if (chars[i] == c) return i;
  }
  return chars.size();
}

// An A, F or T line: the old layout kept a flag 7 characters after the "/p" of the path
// section, where the new one has a blank.
std::string ConvertFileLine(Chars copy) {
  for (size_t i = 0; i + 1 < copy.size(); ++i) {
    if (copy[i] == "/" && copy[i + 1] == "p") {
      if (i + kPathFlagOffset < copy.size()) copy[i + kPathFlagOffset] = " ";
      break;
    }
  }
  return Join(copy);
}

// An R line: the old layout held the whole directory after the bar; the new one splits
// it into the last name and the path above it. Empty when the line stays as it is.
std::string ConvertDirectoryLine(const Chars& copy) {
  const size_t bar = FindChar(copy, "|");
  if (bar == copy.size()) return {};
  const size_t data_start = std::min(bar + 2, copy.size());
  const size_t head_length = bar > kHeadBeforeBar ? bar - kHeadBeforeBar : 0;
  const size_t data_length = copy.size() - data_start;
  // The last character is the directory's own closing "/": the one before it is sought.
  size_t slash = data_length;
  for (size_t i = data_length >= 2 ? data_length - 1 : 0; i-- > 0;) {
    if (copy[data_start + i] == "/") {
      slash = i;
      break;
    }
  }
  if (slash == data_length) return {};
  const auto data_begin = copy.begin() + static_cast<std::ptrdiff_t>(data_start);
  const std::string path = Join(data_begin, data_begin + static_cast<std::ptrdiff_t>(slash + 1));
  const std::string name = Join(data_begin + static_cast<std::ptrdiff_t>(slash + 1), copy.end());
  const size_t name_chars = data_length - slash - 1;
  const size_t path_chars = slash + 1;
  const size_t blocks = std::max<size_t>((name_chars + 1) / kBlockLength + 1, kDefaultMinBlocks);
  std::string out = Join(copy.begin(), copy.begin() + static_cast<std::ptrdiff_t>(head_length));
  out += fmt::format("{:>3}+{} | ", name_chars, blocks);
  out += name;
  // The block count always leaves at least one blank after the name.
  out.append(blocks * kBlockLength - 1 - name_chars, ' ');
  out += fmt::format("/p{:>3}+0 : _=", path_chars);
  out += path;
  return out;
}

}  // namespace

std::string ConvertOldListLine(const std::string& line) {
  // Fewer bytes than characters needed: no need to count them.
  if (line.size() < kOldLineMinChars) return line;
  Chars copy = SplitChars(line);
  if (copy.size() < kOldLineMinChars) return line;
  copy.erase(copy.begin() + static_cast<std::ptrdiff_t>(kOldExtraChar));
  const std::string_view record = copy.front();
  if (record == "A" || record == "F" || record == "T") return ConvertFileLine(std::move(copy));
  if (record == "R") {
    std::string converted = ConvertDirectoryLine(copy);
    return converted.empty() ? line : converted;
  }
  return line;
}

}  // namespace lists
