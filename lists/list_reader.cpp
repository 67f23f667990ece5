#include "lists/list_reader.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "lists/list_format.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/text.h"

namespace lists {

namespace {

// Lists of either system are read: a backslash ends a directory written on Windows. A
// name on Linux may hold one, but a directory written here always ends with "/".
bool EndsWithSeparator(std::string_view path) {
  return !path.empty() && platform::IsSeparator(path.back(), platform::PathStyle::kWindows);
}

constexpr size_t kBar = kFileBarColumn - 1;
constexpr size_t kMaxSizeWidening = 9;
constexpr size_t kTypicalLineBytes = 100;
// The parse looks at its stop on every 4096th line.
constexpr uint32_t kStopLookMask = (1 << 12) - 1;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Where bytes count as columns.
bool Ascii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a') return c - 'a' + 10;
  return c - 'A' + 10;
}

// A right-aligned number with blanks before and between its digit groups (size field).
bool ParseGroupedNumber(std::string_view text, uint64_t* value) {
  uint64_t result = 0;
  bool digits = false;
  for (char c : text) {
    if (c == ' ') {
      continue;
    }
    if (!IsDigit(c)) return false;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (result > (std::numeric_limits<uint64_t>::max() - digit) / 10) return false;
    result = result * 10 + digit;
    digits = true;
  }
  *value = result;
  return digits;
}

// A short field: blanks, then digits in the base (decimal or hex); false when empty.
bool ParseField(std::string_view text, bool hex, uint32_t* value) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return false;
  uint32_t result = 0;
  for (char c : text) {
    if (hex ? !IsHexDigit(c) : !IsDigit(c)) return false;
    result = result * (hex ? 16 : 10) + static_cast<uint32_t>(HexValue(c));
  }
  *value = result;
  return true;
}

// "yyyy-mm-dd hh:nn:ss" as yyyymmddhhnnss; 19 blanks (a time that could not be
// written) as 0.
bool ParseTime(std::string_view text, uint64_t* value) {
  if (text.find_first_not_of(' ') == std::string_view::npos) {
    *value = 0;
    return true;
  }
  static constexpr std::string_view kPicture = "0000-00-00 00:00:00";
  uint64_t result = 0;
  for (size_t i = 0; i < kTimeWidth; ++i) {
    if (kPicture[i] == '0') {
      if (!IsDigit(text[i])) return false;
      result = result * 10 + static_cast<uint64_t>(text[i] - '0');
    } else if (text[i] != kPicture[i]) {
      return false;
    }
  }
  *value = result;
  return true;
}

bool AllBlanks(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

// The 11 characters after "F  ": a content id "ddddd ddddd", "$" and the hex bytes of a
// short file, or a failure ("!..." or "%IO...").
bool ParseIdText(std::string_view id, bool* has_id) {
  if (id[0] == '!' || id[0] == '%') {
    *has_id = false;
    return true;
  }
  *has_id = true;
  if (id[0] == '$') {
    size_t i = 1;
    while (i < id.size() && IsHexDigit(id[i])) ++i;
    return (i - 1) % 2 == 0 && AllBlanks(id.substr(i));
  }
  for (size_t i = 0; i < id.size(); ++i) {
    if (i == 5 ? id[i] != ' ' : !IsDigit(id[i])) return false;
  }
  return true;
}

// Byte offset `count` characters after `pos`; npos when the text ends first.
size_t AdvanceChars(std::string_view text, size_t pos, size_t count) {
  while (count > 0) {
    if (pos >= text.size()) return std::string_view::npos;
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      ++pos;
    } else {
      support::NextChar(text, &pos);
    }
    --count;
  }
  return pos;
}

}  // namespace

std::string_view ListStateText(ListState state) {
  switch (state) {
    case ListState::kComplete:
      return "complete";
    case ListState::kStopped:
      return "stopped";
    case ListState::kAbnormal:
      return "ended abnormally";
    case ListState::kUnfinished:
      return "unfinished";
    case ListState::kNoRun:
      break;
  }
  return "holds no run";
}

std::string WriteTimeText(uint64_t write_time) {
  constexpr uint64_t kLastTime = 99999999999999;  // 14 digits
  if (write_time == 0 || write_time > kLastTime) return std::string(kTimeWidth, ' ');
  const std::string digits = fmt::format("{:014}", write_time);
  return fmt::format("{}-{}-{} {}:{}:{}", digits.substr(0, 4), digits.substr(4, 2),
                     digits.substr(6, 2), digits.substr(8, 2), digits.substr(10, 2),
                     digits.substr(12, 2));
}

std::string IdList::FullPath(const ListedFile& file) const {
  std::string path(directory(file));
  path.append(file.name());
  return path;
}

int CompareSplitPaths(std::string_view dir_a, std::string_view name_a, std::string_view dir_b,
                      std::string_view name_b) {
  // Walk both joined texts piece by piece without joining them.
  std::string_view a = dir_a;
  std::string_view b = dir_b;
  bool a_second = false;
  bool b_second = false;
  for (;;) {
    if (a.empty() && !a_second) {
      a = name_a;
      a_second = true;
      continue;
    }
    if (b.empty() && !b_second) {
      b = name_b;
      b_second = true;
      continue;
    }
    if (a.empty() || b.empty()) return a.empty() ? (b.empty() ? 0 : -1) : 1;
    const size_t n = std::min(a.size(), b.size());
    const int order = std::memcmp(a.data(), b.data(), n);
    if (order != 0) return order < 0 ? -1 : 1;
    a.remove_prefix(n);
    b.remove_prefix(n);
  }
}

// Reads the lines of one list into an IdList.
class IdListParser {
 public:
  IdListParser(IdList* list, const std::atomic<bool>* stop) : list_(list), stop_(stop) {}

  bool Parse(std::string_view text, ListReadError* error);

 private:
  bool FileLine(std::string_view line, uint32_t number);
  bool HeaderLine(std::string_view line);
  bool SumLine(std::string_view line, char record);
  // Where the name and the directory of a file line are, from its bar on.
  bool NameAndDirectory(std::string_view line, size_t bar, std::string_view* name,
                        std::string_view* directory);
  void SortFiles();

  // No run header lies between the lines `a` and `b` (a < b).
  bool SameRun(uint32_t a, uint32_t b) const;

  IdList* list_;
  const std::atomic<bool>* stop_;
  // Directories in the order met; several entries may hold the same text.
  std::vector<std::string_view> met_dirs_;
  std::vector<uint32_t> header_lines_;  // ascending
};

bool IdListParser::SameRun(uint32_t a, uint32_t b) const {
  const auto next = std::upper_bound(header_lines_.begin(), header_lines_.end(), a);
  return next == header_lines_.end() || *next > b;
}

bool IdListParser::NameAndDirectory(std::string_view line, size_t bar, std::string_view* name,
                                    std::string_view* directory) {
  if (ReadUsualFileLine(line, bar, name, directory)) return true;
  FileLineFields fields;
  if (!ReadFileLine(line, &fields)) return false;
  *name = fields.name;
  *directory = fields.directory;
  return true;
}

bool ReadUsualFileLine(std::string_view line, size_t bar, std::string_view* name,
                       std::string_view* directory) {
  if (bar < 6 || bar + 1 >= line.size() || line[bar] != '|' || line[0] != kRecordFile) return false;
  const std::string_view blocks_field = line.substr(bar - 3, 3);
  const bool hex = blocks_field[0] == '$';
  uint32_t blocks = 0;
  uint32_t length = 0;
  if ((hex || blocks_field[0] == '+') && blocks_field[1] != ' ' &&
      ParseField(blocks_field.substr(1), hex, &blocks) &&
      blocks > 0 && ParseField(line.substr(bar - 6, 3), hex, &length) && line[bar + 1] == ' ' &&
      length <= blocks * kBlockLength - 3) {
    const size_t name_start = bar + 2;
    const size_t name_end = AdvanceChars(line, name_start, length);
    const size_t section = name_end == std::string_view::npos
                               ? name_end
                               : name_end + (blocks * kBlockLength - 3 - length);
    if (section != std::string_view::npos && section + kPathSectionHead < line.size() &&
        AllBlanks(line.substr(name_end, section - name_end)) && line[section] == '/' &&
        (line[section + 1] == 'p' || line[section + 1] == 'P') &&
        line[section + kPathSectionBar] == '|' && line[section + kPathSectionHead - 1] == ' ' &&
        EndsWithSeparator(line) && Ascii(line.substr(section, kPathSectionHead))) {
      // Anything after the directory's closing separator is the general reader's to judge.
      *name = line.substr(name_start, name_end - name_start);
      *directory = line.substr(section + kPathSectionHead);
      return true;
    }
  }
  return false;
}

bool IdListParser::FileLine(std::string_view line, uint32_t number) {
  if (line.size() < kBar + 2 || line[1] != ' ' || line[2] != ' ') return false;
  size_t bar = kBar;
  while (bar < line.size() && line[bar] != '|' && bar < kBar + kMaxSizeWidening) ++bar;
  if (bar >= line.size() || line[bar] != '|') return false;
  const size_t shift = bar - kBar;

  ListedFile file;
  file.line = line.data();
  file.line_number = number;
  const std::string_view id = line.substr(3, kIdTextWidth);
  if (!ParseIdText(id, &file.has_id)) return false;
  if (id == kCannotFindId) {
    // Neither size nor times: blanks up to the name section.
    if (shift != 0 || !AllBlanks(line.substr(kSizeStart, kLengthStart - kSizeStart))) return false;
  } else {
    uint64_t creation = 0;
    if (!ParseGroupedNumber(line.substr(kSizeStart, kSizeEnd + shift - kSizeStart), &file.size) ||
        line[kSizeEnd + shift] != ' ' ||
        !ParseTime(line.substr(kWriteTimeStart + shift, kTimeWidth), &file.write_time) ||
        line[kCreationTimeStart + shift - 1] != ' ' ||
        !ParseTime(line.substr(kCreationTimeStart + shift, kTimeWidth), &creation)) {
      return false;
    }
    uint32_t attributes = 0;
    if (!ParseField(line.substr(kAttributesStart + shift, 3), false, &attributes)) return false;
    file.has_size = true;
  }

  std::string_view name;
  std::string_view directory;
  // A directory always ends with a separator; one that does not is a damaged line.
  if (!NameAndDirectory(line, bar, &name, &directory) || !EndsWithSeparator(directory))
    return false;
  const size_t name_offset = static_cast<size_t>(name.data() - line.data());
  if (name_offset > std::numeric_limits<uint16_t>::max() ||
      name.size() > std::numeric_limits<uint16_t>::max()) {
    return false;
  }
  file.name_offset = static_cast<uint16_t>(name_offset);
  file.name_size = static_cast<uint16_t>(name.size());
  // Lines come directory by directory: most share the directory of the line before.
  if (met_dirs_.empty() || met_dirs_.back() != directory) met_dirs_.push_back(directory);
  file.dir = static_cast<uint32_t>(met_dirs_.size() - 1);
  list_->files_.push_back(file);
  return true;
}

bool IdListParser::HeaderLine(std::string_view line) {
  RunHeader header;
  if (!ReadRunHeader(line, &header)) return false;
  // The label may hold multi-byte characters: the stamp's columns are characters.
  const size_t stamp = AdvanceChars(line, 0, kEndStampColumn - 1);
  const size_t state_at = stamp + (kStateColumn - kEndStampColumn);
  // The error flag may be a blank that ended the line and was trimmed with it.
  if (stamp == std::string_view::npos || state_at >= line.size()) return false;
  const std::string_view end_time = line.substr(stamp, kTimeWidth);
  uint64_t time = 0;
  if (!ParseTime(end_time, &time)) return false;
  switch (line[state_at]) {
    case 'F':
      list_->state_ = ListState::kComplete;
      break;
    case 'C':
      list_->state_ = ListState::kStopped;
      break;
    case '_':
      list_->state_ = end_time == kUnsetEndTime ? ListState::kUnfinished : ListState::kAbnormal;
      break;
    default:
      return false;
  }
  ++list_->runs_;
  if (list_->search_path_.empty()) list_->search_path_ = header.search_path;
  if (header.volume_read) list_->last_header_ = std::move(header);
  return true;
}

bool IdListParser::SumLine(std::string_view line, char record) {
  FileLineFields fields;
  if (line.size() < 3 || line[1] != ' ' || line[2] != ' ' ||
      !ReadListLine(line, record, &fields)) {
    return false;
  }
  if (record == kRecordTotals && list_->search_path_.empty()) {
    list_->search_path_.assign(fields.directory);
    list_->search_path_.append(fields.name);
  }
  return true;
}

bool IdListParser::Parse(std::string_view text, ListReadError* error) {
  // A crash while the list was grown leaves NUL bytes at its end.
  while (!text.empty() && text.back() == '\0') text.remove_suffix(1);
  size_t pos = 0;
  uint32_t number = 0;
  bool header_seen = false;
  size_t cut_short = 0;  // a last line without its line end that could not be read
  // Most lines are file lines of 100 to 200 bytes: room for all of them at once, so
  // that the records are never copied while they grow.
  list_->files_.reserve(text.size() / kTypicalLineBytes);
  while (pos < text.size()) {
    ++number;
    // A look at the stop costs little beside a line, but not nothing.
    if ((number & kStopLookMask) == 0 && stop_ != nullptr &&
        stop_->load(std::memory_order_relaxed)) {
      error->stopped = true;
      error->message = platform::kStoppedText;
      return false;
    }
    const char* newline =
        static_cast<const char*>(std::memchr(text.data() + pos, '\n', text.size() - pos));
    const size_t end = newline == nullptr ? text.size() : static_cast<size_t>(newline - text.data());
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
    if (line.empty()) continue;
    // Every line is written whole with its line end: a file line without one was cut by
    // a crash and may name a shorter directory or name than the file has.
    if (newline == nullptr && header_seen && line[0] == kRecordFile) {
      cut_short = number;
      continue;
    }
    // The scan writes CR and LF of names as "?" and ends each line with CR LF: a CR
    // inside a line means other line ends, and a NUL is damage.
    const bool inner_cr = std::memchr(line.data(), '\r', line.size()) != nullptr;
    if (inner_cr || std::memchr(line.data(), '\0', line.size()) != nullptr) {
      error->line = number;
      error->message = inner_cr ? "a CR inside the line: the line ends are not CR LF"
                                : "a NUL byte inside the line";
      return false;
    }
    bool ok = false;
    switch (line[0]) {
      case kRecordHeader:
        ok = HeaderLine(line);
        if (ok) header_lines_.push_back(number);
        header_seen = header_seen || ok;
        break;
      case kRecordFile:
        ok = header_seen && FileLine(line, number);
        break;
      case kRecordDirectory:
      case kRecordTotals:
        ok = header_seen && SumLine(line, line[0]);
        break;
      default:
        break;
    }
    if (ok) continue;
    if (newline == nullptr && header_seen) {
      cut_short = number;
      continue;
    }
    error->line = number;
    error->message = header_seen ? "not a line of an id list" : "not an id list (no run header)";
    return false;
  }
  if (cut_short != 0 && list_->state_ == ListState::kComplete) {
    // Only a run that did not end well leaves a line cut short.
    error->line = cut_short;
    error->message = "not a line of an id list";
    return false;
  }
  SortFiles();
  return true;
}

void IdListParser::SortFiles() {
  // Distinct directories in byte order, and each met entry's place among them.
  std::vector<uint32_t> order(met_dirs_.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](uint32_t a, uint32_t b) { return met_dirs_[a] < met_dirs_[b]; });
  std::vector<uint32_t> rank(met_dirs_.size());
  std::vector<std::string_view>& dirs = list_->directories_;
  dirs.clear();
  for (uint32_t index : order) {
    if (dirs.empty() || dirs.back() != met_dirs_[index]) dirs.push_back(met_dirs_[index]);
    rank[index] = static_cast<uint32_t>(dirs.size() - 1);
  }

  std::vector<ListedFile>& files = list_->files_;
  bool grouped = true;  // the directories come in byte order, each once
  for (size_t i = 0; i < files.size(); ++i) {
    files[i].dir = rank[files[i].dir];
    if (i > 0 && files[i].dir < files[i - 1].dir) grouped = false;
  }
  if (!grouped) {
    // Bucket the files by directory, keeping line order: the buckets are small and lie
    // together, which a sort of the whole list by path would not be.
    std::vector<size_t> next(dirs.size() + 1, 0);
    for (const ListedFile& file : files) ++next[file.dir + 1];
    for (size_t i = 1; i < next.size(); ++i) next[i] += next[i - 1];
    std::vector<ListedFile> bucketed(files.size());
    for (const ListedFile& file : files) bucketed[next[file.dir]++] = file;
    files = std::move(bucketed);
  }
  const auto by_name = [](const ListedFile& a, const ListedFile& b) {
    const int order = a.name().compare(b.name());
    return order != 0 ? order < 0 : a.line_number < b.line_number;
  };
  for (size_t begin = 0; begin < files.size();) {
    size_t end = begin + 1;
    while (end < files.size() && files[end].dir == files[begin].dir) ++end;
    std::sort(files.begin() + static_cast<ptrdiff_t>(begin),
              files.begin() + static_cast<ptrdiff_t>(end), by_name);
    begin = end;
  }
  // A path listed again keeps its last line. Within one run a path is listed twice
  // only when two names differ in a CR or LF alone: the kept line may be either file.
  size_t kept = 0;
  for (size_t i = 0; i < files.size();) {
    size_t end = i + 1;
    bool ambiguous = false;
    while (end < files.size() && files[end].dir == files[i].dir &&
           files[end].name() == files[i].name()) {
      if (SameRun(files[end - 1].line_number, files[end].line_number)) {
        ambiguous = true;
      } else {
        ++list_->repeated_;
      }
      ++end;
    }
    files[kept] = files[end - 1];
    files[kept++].ambiguous = ambiguous;
    if (ambiguous) ++list_->ambiguous_;
    i = end;
  }
  files.resize(kept);
  met_dirs_.clear();
}

bool IdList::Parse(std::string_view text, ListReadError* error,
                   const std::atomic<bool>* stop) {
  IdListParser parser(this, stop);
  return parser.Parse(text, error);
}

bool ParseIdList(std::unique_ptr<char[]> text, size_t size, IdList* list, ListReadError* error) {
  IdList result;
  result.text_ = std::move(text);
  if (!result.Parse(std::string_view(result.text_.get(), size), error, nullptr)) {
    *list = IdList();
    return false;
  }
  *list = std::move(result);
  return true;
}

bool ReadIdList(const std::string& path, IdList* list, ListReadError* error,
                const std::atomic<bool>* stop) {
  IdList result;
  *error = ListReadError();
  // Read, not mapped: a list cut by someone who ignores the lock must not take the
  // process down with it.
  if (!result.file_.Open(path, platform::OpenMode::kReadShared)) {
    const platform::PathKind kind = platform::PathKindOf(path);
    if (kind == platform::PathKind::kLink || kind == platform::PathKind::kLinkToDirectory) {
      error->symbolic_link = true;
      error->message = "is a symbolic link; give the list itself";
    } else {
      error->message = result.file_.ErrorText();
      error->in_use = error->message == platform::kInUseText;
    }
    return false;
  }
  size_t size = 0;
  if (!result.file_.ReadToEnd(&result.text_, &size, stop)) {
    error->message = result.file_.ErrorText();
    error->stopped = error->message == platform::kStoppedText;
    return false;
  }
  if (!result.Parse(std::string_view(result.text_.get(), size), error, stop)) {
    *list = IdList();
    return false;
  }
  *list = std::move(result);
  return true;
}

}  // namespace lists
