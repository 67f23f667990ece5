#include "catalogue/list_header.h"

#include <cstring>

#include "lists/list_format.h"
#include "lists/list_names.h"
#include "support/text.h"

namespace catalogue {

namespace {

// Character offsets in an "A" line: "A1 ddddd ddddd LABEL (15) START (19) END ...".
constexpr size_t kSerialStart = 3;
constexpr size_t kSerialWidth = 11;
constexpr size_t kLabelStart = 15;
constexpr size_t kStartTimeStart = 30;
constexpr size_t kErrorFlagOffset = scan::kStateColumn;  // the character after the state

bool ParseHeaderLine(std::string_view line, RunHeader* header) {
  const size_t label_at = support::CharOffset(line, kLabelStart);
  const size_t time_at = support::CharOffset(line, kStartTimeStart);
  const size_t flag_at = support::CharOffset(line, kErrorFlagOffset);
  if (line.size() < kSerialStart + kSerialWidth || time_at + scan::kTimeWidth > line.size()) {
    return false;
  }
  uint32_t serial = 0;
  if (!scan::SerialFromDigits(line.substr(kSerialStart, kSerialWidth), &serial)) return false;
  header->serial = serial;
  header->label = support::TrimRight(line.substr(label_at, time_at - label_at));
  header->start_time = std::string(line.substr(time_at, scan::kTimeWidth));
  header->errors = flag_at < line.size() && line[flag_at] == 'E';
  header->root_column = 0;
  scan::FileLineFields fields;
  if (scan::ReadListLine(line, scan::kRecordHeader, &fields) && !fields.directory.empty()) {
    // The section "/pLLL+0 |RR " stands right before the directory.
    const size_t section = static_cast<size_t>(fields.directory.data() - line.data());
    if (section >= scan::kPathSectionHead) {
      const std::string_view column =
          support::TrimView(line.substr(section - scan::kPathSectionHead + 9, 2));
      int value = 0;
      for (const char c : column) {
        if (c < '0' || c > '9') return true;
        value = value * 10 + (c - '0');
      }
      header->root_column = value;
    }
  }
  return true;
}

}  // namespace

bool ReadLastRunHeader(std::string_view text, RunHeader* header) {
  bool found = false;
  size_t pos = 0;
  while (pos < text.size()) {
    const char* newline =
        static_cast<const char*>(std::memchr(text.data() + pos, '\n', text.size() - pos));
    const size_t end =
        newline == nullptr ? text.size() : static_cast<size_t>(newline - text.data());
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.size() < 2 || line[0] != scan::kRecordHeader || line[1] < '1' || line[1] > '3') {
      continue;
    }
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    RunHeader candidate;
    if (ParseHeaderLine(line, &candidate)) {
      *header = std::move(candidate);
      found = true;
    }
  }
  return found;
}

std::string PathBelowRoot(std::string_view search_path, int root_column) {
  if (root_column < 2 || static_cast<size_t>(root_column - 1) > search_path.size()) return {};
  return std::string(search_path.substr(static_cast<size_t>(root_column - 1)));
}

}  // namespace catalogue
