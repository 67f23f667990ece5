#include "support/ini.h"

#include <fmt/core.h>

#include "support/msg.h"
#include "support/text.h"

namespace support {

namespace {

constexpr char kBadKindMessage[] = "Input data type is not correct";
// The numbered-list cleanup never looks further than this.
constexpr int kMaxListItem = 9999999;

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

bool IsHeader(std::string_view line) {
  std::string_view trimmed = support::TrimView(line);
  return !trimmed.empty() && trimmed[0] == '[';
}

// "Viv050", "[Viv050" and "[Viv050]" all name "[Viv050]".
std::string BracketedName(std::string_view section) {
  std::string name(support::TrimView(section));
  if (name.empty() || name.front() != '[') name.insert(name.begin(), '[');
  if (name.back() != ']') name.push_back(']');
  return name;
}

int FindHeader(const support::StringList& list, int from) {
  for (int i = from; i < static_cast<int>(list.size()); ++i) {
    if (IsHeader(list[i])) return i;
  }
  return -1;
}

// A text written into one line must not break it into two.
std::string OneLine(std::string text) {
  support::ReplaceLineBreaks(&text);
  return text;
}

bool IsIntegerKind(int kind) {
  return kind == support::kKindSmallInt || kind == support::kKindInteger ||
         kind == support::kKindDispatch || kind == support::kKindError ||
         kind == support::kKindByte;
}

bool IsTextKind(int kind) {
  return kind == support::kKindWideText || kind == support::kKindNarrowText72 ||
         kind == support::kKindText;
}

std::string ValueText(const SxValue& value) {
  int kind = value.kind();
  if (kind == support::kKindEmpty || kind == support::kKindNull) return std::string();
  if (IsIntegerKind(kind) || kind == support::kKindInt64 || kind == support::kKindSingle ||
      kind == support::kKindDouble || kind == support::kKindCurrency ||
      kind == support::kKindDate || IsTextKind(kind) || kind == support::kKindBoolean) {
    return OneLine(value.AsText());
  }
  MsgSx(kBadKindMessage, "", support::kMbOk);
  return std::string();
}

SxValue ConvertText(std::string_view text, int kind) {
  using namespace support;
  if (IsIntegerKind(kind)) return SxValue(ParseIntegerText(text, INT32_MIN, INT32_MAX));
  switch (kind) {
    case kKindInt64:
      return SxValue::Integer(ParseIntegerText(text, INT64_MIN, INT64_MAX), kKindInt64);
    case kKindSingle:
    case kKindDouble:
      return SxValue(ParseFloatText(text));
    case kKindCurrency:
      return SxValue::Currency(ParseCurrencyText(text));
    case kKindDate:
      return SxValue::Date(ParseFloatText(text));
    case kKindBoolean:
      return SxValue(text != "0");
    default:
      break;
  }
  if (IsTextKind(kind)) return SxValue::Text(Trim(text), kind);
  MsgSx(kBadKindMessage, "", kMbOk);
  return SxValue();
}

}  // namespace

support::IniLocation IniFindSx(const support::StringList* list, std::string_view section,
                               std::string_view key) {
  support::IniLocation loc;
  if (list == nullptr) return loc;
  const int count = static_cast<int>(list->size());
  loc.body_start = 0;
  loc.body_end = count;
  if (support::TrimView(section).empty()) {
    int header = FindHeader(*list, 0);
    // Without any header the nameless section is "not found", yet its body, the whole
    // text, is still searched.
    loc.result = header >= 0 ? support::kIniKeyMissing : support::kIniSectionMissing;
    if (header >= 0) loc.body_end = header;
  } else {
    const std::string name = BracketedName(section);
    int header = -1;
    for (int i = 0; i < count; ++i) {
      if (support::SameText(support::TrimView((*list)[i]), name)) {
        header = i;
        break;
      }
    }
    if (header < 0) {
      loc.result = support::kIniSectionMissing;
      loc.body_start = -1;
      return loc;
    }
    loc.body_start = header + 1;
    int next = FindHeader(*list, header + 1);
    loc.body_end = next >= 0 ? next : count;
    loc.result = support::kIniKeyMissing;
  }
  std::string_view wanted = support::TrimView(key);
  if (wanted.empty()) return loc;
  for (int i = loc.body_start; i < loc.body_end; ++i) {
    std::string_view line = (*list)[i];
    size_t first = 0;
    while (first < line.size() && IsBlank(line[first])) ++first;
    if (first == line.size()) continue;
    // The key has at least one character, so "=" is looked for after the first one.
    size_t equal = line.find('=', first + 1);
    if (equal == std::string_view::npos) continue;
    size_t key_end = equal;
    while (key_end > 0 && IsBlank(line[key_end - 1])) --key_end;
    // Leading blanks stay part of the key: an indented line never matches.
    if (support::SameText(line.substr(0, key_end), wanted)) {
      loc.result = i;
      loc.equal_pos = static_cast<int>(equal) + 1;
      return loc;
    }
  }
  return loc;
}

SxValue IniGetSx(const support::StringList* list, std::string_view section, std::string_view key,
                 const SxValue& default_value, int kind) {
  support::IniLocation loc = IniFindSx(list, section, key);
  if (loc.result < 0) return default_value;
  if (kind == -1) kind = default_value.kind();
  std::string_view line = (*list)[loc.result];
  std::string_view value = line.substr(loc.equal_pos);
  value = value.substr(0, value.find(';'));
  try {
    return ConvertText(value, kind);
  } catch (const support::ConversionError& error) {
    throw support::ConversionError(fmt::format("[{}] {}: {}", support::TrimView(section),
                                               support::TrimView(key), error.what()));
  }
}

SxValue IniGetSx(const support::StringList& list, std::string_view section, std::string_view key,
                 const SxValue& default_value, int kind) {
  return IniGetSx(&list, section, key, default_value, kind);
}

int IniSetSx(support::StringList* list, std::string_view section, std::string_view key,
             const SxValue& value) {
  if (list == nullptr) return -1;
  // A line without a key could never be found again.
  if (support::TrimView(key).empty()) return -1;
  support::IniLocation loc = IniFindSx(list, section, key);
  if (loc.result == support::kIniNoList) return -1;
  const std::string text = ValueText(value);
  if (loc.result >= 0) {
    const std::string& old = (*list)[loc.result];
    const size_t equal = static_cast<size_t>(loc.equal_pos);
    std::string line = old.substr(0, equal) + text;
    size_t comment = old.find(';', equal);
    if (comment != std::string::npos) {
      // Keep the comment in its column (counted in characters) when the value fits.
      size_t column = support::CharCount(std::string_view(old).substr(0, comment));
      size_t width = support::CharCount(line);
      if (width < column) line.append(column - width, ' ');
      line.append(old, comment, std::string::npos);
    }
    (*list)[loc.result] = std::move(line);
    return loc.result;
  }
  // Leading blanks would make the new line unreachable for every later lookup.
  std::string line = OneLine(support::TrimLeft(key)) + "=" + text;
  const int count = static_cast<int>(list->size());
  if (loc.result == support::kIniSectionMissing && !support::TrimView(section).empty()) {
    list->Add(OneLine(BracketedName(section)));
    list->Add(std::move(line));
    return count + 1;
  }
  if (loc.body_end < count) {
    list->Insert(static_cast<size_t>(loc.body_end), std::move(line));
    return loc.body_end;
  }
  list->Add(std::move(line));
  return count;
}

int IniSetSx(support::StringList& list, std::string_view section, std::string_view key,
             const SxValue& value) {
  return IniSetSx(&list, section, key, value);
}

int IniGetListSx(const support::StringList& list, std::string_view section, std::string_view name,
                 support::StringList* target) {
  int read = 0;
  for (int i = 0; i <= kMaxListItem; ++i) {
    std::string item =
        IniGetSx(list, section, fmt::format("{}#{}", name, i), SxValue(""), support::kKindText)
            .AsText();
    if (item.empty()) break;
    if (target != nullptr) target->Add(std::move(item));
    ++read;
  }
  return read;
}

void IniSetListSx(support::StringList& list, std::string_view section, std::string_view name,
                  const support::StringList& source) {
  for (size_t i = 0; i < source.size(); ++i) {
    IniSetSx(list, section, fmt::format("{}#{}", name, i), SxValue(source[i]));
  }
  for (int i = static_cast<int>(source.size()); i <= kMaxListItem; ++i) {
    const std::string key = fmt::format("{}#{}", name, i);
    support::IniLocation loc = IniFindSx(&list, section, key);
    if (loc.result < 0) break;
    // A hand-edited file may hold the same item twice; the second would come back.
    do {
      list.Delete(static_cast<size_t>(loc.result));
      loc = IniFindSx(&list, section, key);
    } while (loc.result >= 0);
  }
}

bool IniClearSectionSx(support::StringList& list, std::string_view section) {
  if (support::TrimView(section).empty()) return true;
  support::IniLocation loc = IniFindSx(&list, section, "");
  if (loc.result == support::kIniSectionMissing) return false;
  auto& items = list.items();
  auto first = items.begin() + loc.body_start;
  auto last = first;
  while (last != items.end() && !IsHeader(*last)) ++last;
  items.erase(first, last);
  return true;
}

void IniSaveSx(const support::StringList& list, const std::string& file_name) {
  // Settings are not worth a message: on a read-only medium they are simply not kept.
  (void)list.SaveToFile(file_name, support::kLf);
}

}  // namespace support
