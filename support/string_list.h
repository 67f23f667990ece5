#pragma once
// A list of text lines with load and save, case-insensitive sort and sorted find.

#include <string>
#include <string_view>
#include <vector>

namespace support {

inline constexpr std::string_view kCrLf = "\r\n";
inline constexpr std::string_view kLf = "\n";

// The first line end of `text` (CR LF, LF or a lone CR), as SetText splits at; empty
// when the text has none.
std::string_view FirstLineEnd(std::string_view text);

// A whole regular file as bytes; false when it cannot be read.
bool LoadFileBytes(const std::string& path, std::string* data);
// Creates or replaces the file with `data`; false on any failure.
bool SaveFileBytes(const std::string& path, std::string_view data);

class StringList {
 public:
  std::vector<std::string>& items() { return items_; }
  const std::vector<std::string>& items() const { return items_; }
  size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  std::string& operator[](size_t i) { return items_[i]; }
  const std::string& operator[](size_t i) const { return items_[i]; }
  void Add(std::string line) { items_.push_back(std::move(line)); }
  void Insert(size_t index, std::string line);
  void Delete(size_t index);
  void Clear() { items_.clear(); }

  // Splits text into lines at CR LF, LF or a lone CR; a final line end adds no empty
  // line. Replaces the contents.
  void SetText(std::string_view text);
  // Every line followed by `line_end`.
  std::string Text(std::string_view line_end) const;

  // Replaces the contents with the file's lines; false (list unchanged) when the file
  // cannot be read.
  bool LoadFromFile(const std::string& path);
  // Writes every line followed by `line_end`; false on any failure.
  bool SaveToFile(const std::string& path, std::string_view line_end) const;

  // Sorts with CompareText (stable).
  void Sort();
  // Binary search in a list sorted by Sort(); true and the index when found, else
  // false and the insertion index.
  bool Find(std::string_view text, size_t* index) const;
  // Linear search without regard to case; -1 when absent.
  long IndexOf(std::string_view text) const;

 private:
  std::vector<std::string> items_;
};

}  // namespace support
