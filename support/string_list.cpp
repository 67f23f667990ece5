#include "support/string_list.h"

#include <algorithm>

#include "platform/files.h"
#include "support/text.h"

namespace support {

void StringList::Insert(size_t index, std::string line) {
  if (index > items_.size()) index = items_.size();
  items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), std::move(line));
}

void StringList::Delete(size_t index) {
  if (index < items_.size()) items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}

void StringList::SetText(std::string_view text) {
  items_.clear();
  size_t start = 0;
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      items_.emplace_back(text.substr(start, i - start));
      if (c == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
      ++i;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < n) items_.emplace_back(text.substr(start));
}

std::string StringList::Text(std::string_view line_end) const {
  size_t total = 0;
  for (const auto& line : items_) total += line.size() + line_end.size();
  std::string out;
  out.reserve(total);
  for (const auto& line : items_) {
    out += line;
    out += line_end;
  }
  return out;
}

std::string_view FirstLineEnd(std::string_view text) {
  const size_t at = text.find_first_of("\r\n");
  if (at == std::string_view::npos) return {};
  if (text[at] == '\n') return kLf;
  return at + 1 < text.size() && text[at + 1] == '\n' ? kCrLf : "\r";
}

bool LoadFileBytes(const std::string& path, std::string* data) {
  return platform::ReadWholeFile(path, data);
}

bool SaveFileBytes(const std::string& path, std::string_view data) {
  return platform::WriteWholeFile(path, data);
}

bool StringList::LoadFromFile(const std::string& path) {
  std::string data;
  if (!platform::ReadWholeFile(path, &data)) return false;
  SetText(data);
  return true;
}

bool StringList::SaveToFile(const std::string& path, std::string_view line_end) const {
  return platform::WriteWholeFile(path, Text(line_end));
}

void StringList::Sort() {
  std::stable_sort(items_.begin(), items_.end(), [](const std::string& a, const std::string& b) {
    return CompareText(a, b) < 0;
  });
}

bool StringList::Find(std::string_view text, size_t* index) const {
  size_t low = 0;
  size_t high = items_.size();
  while (low < high) {
    const size_t mid = low + (high - low) / 2;
    const int c = CompareText(items_[mid], text);
    if (c < 0) {
      low = mid + 1;
    } else if (c > 0) {
      high = mid;
    } else {
      if (index) *index = mid;
      return true;
    }
  }
  if (index) *index = low;
  return false;
}

long StringList::IndexOf(std::string_view text) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (SameText(items_[i], text)) return static_cast<long>(i);
  return -1;
}

}  // namespace support
