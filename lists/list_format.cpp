#include "lists/list_format.h"

#include <limits>

#include "content/content_id.h"
#include "lists/list_names.h"
#include "lists/number_mask.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/text.h"

namespace lists {

namespace {

constexpr size_t kLabelFieldWidth = 15;
constexpr size_t kLengthFieldWidth = 3;    // name and directory lengths
constexpr size_t kSumAttributeWidth = 12;  // attribute field of trailer and totals lines
constexpr std::string_view kReadErrorPrefix = "F  %IO";

constexpr std::string_view kCannotFind = "F  !CannotFind";
static_assert(kCannotFind.substr(3) == kCannotFindId);
constexpr std::string_view kCannotOpen = "F  !CannotOpen";
constexpr std::string_view kAllocation = "F  !Allocation";
constexpr std::string_view kEmptyFileId = "F  00000 00000";

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

// Returns the text to write: `text` itself, or a copy in *scratch with CR and LF
// replaced. *replaced tells which.
std::string_view WithoutLineBreaks(std::string_view text, std::string* scratch, bool* replaced) {
  *replaced = HasLineBreak(text);
  if (!*replaced) return text;
  scratch->assign(text);
  support::ReplaceLineBreaks(scratch);
  return *scratch;
}

void AppendTwoDigits(std::string* out, int value) {
  if (value < 0 || value > 99) value = 0;
  out->push_back(static_cast<char>('0' + value / 10));
  out->push_back(static_cast<char>('0' + value % 10));
}

void AppendPadded(std::string* out, int value, size_t digits) {
  const size_t start = out->size();
  AppendDecimal(out, value < 0 ? 0 : static_cast<uint64_t>(value), digits);
  for (size_t i = start; i < out->size() && (*out)[i] == ' '; ++i) (*out)[i] = '0';
}

}  // namespace

uint32_t NameBlocks(size_t chars, uint16_t min_blocks) {
  const uint32_t blocks = static_cast<uint32_t>((chars + 3) / kBlockLength + 1);
  const uint32_t minimum = min_blocks > kMaxMinBlocks ? kMaxMinBlocks : min_blocks;
  return blocks < minimum ? minimum : blocks;
}

void SplitListPath(std::string_view path, std::string_view* dir, std::string_view* name) {
  if (path.size() >= 2) {
    for (size_t i = path.size() - 1; i-- > 0;) {
      if (platform::IsSeparator(path[i])) {
        *dir = path.substr(0, i + 1);
        *name = path.substr(i + 1);
        return;
      }
    }
  }
  *dir = path;
  *name = std::string_view();
}

void AppendDateTime(std::string* out, const platform::DateTime& time) {
  AppendPadded(out, time.year, 4);
  out->push_back('-');
  AppendTwoDigits(out, time.month);
  out->push_back('-');
  AppendTwoDigits(out, time.day);
  out->push_back(' ');
  AppendTwoDigits(out, time.hour);
  out->push_back(':');
  AppendTwoDigits(out, time.minute);
  out->push_back(':');
  AppendTwoDigits(out, time.second);
}

void AppendFileTime(std::string* out, uint64_t file_time) {
  platform::DateTime time;
  if (!platform::FileTimeToDateTime(file_time, &time) || time.year > 9999) {
    out->append(kTimeWidth, ' ');
    return;
  }
  AppendDateTime(out, time);
}

std::string EndStamp(const platform::DateTime& end, RunState state, bool had_errors) {
  std::string stamp;
  stamp.reserve(kEndStampWidth);
  AppendDateTime(&stamp, end);
  stamp.push_back(' ');
  stamp.push_back(static_cast<char>(state));
  stamp.push_back(had_errors ? 'E' : ' ');
  return stamp;
}

IdListWriter::IdListWriter(const ListOptions& options) : options_(options) {
  if (options_.min_blocks > kMaxMinBlocks) options_.min_blocks = kMaxMinBlocks;
  line_.reserve(512);
}

void IdListWriter::AppendNameSection(std::string_view name) {
  const size_t chars = support::CharCount(name);
  const uint32_t blocks = NameBlocks(chars, options_.min_blocks);
  const size_t block_field_start = line_.size() + 3;
  if (options_.hex_file) {
    AppendHex(&line_, chars, kLengthFieldWidth);
    line_.push_back('$');
    AppendHex(&line_, blocks, 0);
  } else {
    AppendDecimal(&line_, chars, kLengthFieldWidth);
    line_.push_back('+');
    AppendDecimal(&line_, blocks, 0);
  }
  if (line_.size() - block_field_start == 2) line_.push_back(' ');
  line_.append("| ");
  line_.append(name);
  line_.append(blocks * kBlockLength - 3 - chars, ' ');
}

void IdListWriter::AppendPathSection(std::string_view directory, std::string* out) {
  const size_t chars = support::CharCount(directory);
  out->append("/p");
  if (options_.hex_path) {
    AppendHex(out, chars, kLengthFieldWidth);
    out->append("$0 |");
  } else {
    AppendDecimal(out, chars, kLengthFieldWidth);
    out->append("+0 |");
  }
  if (options_.root_column > 0) {
    AppendDecimal(out, static_cast<uint64_t>(options_.root_column), kRootFieldWidth);
  } else {
    out->append(kRootFieldWidth, ' ');
  }
  out->push_back(' ');
  out->append(directory);
}

void IdListWriter::AppendPathSections(std::string_view path) {
  bool replaced = false;
  const std::string_view text = WithoutLineBreaks(path, &scratch_, &replaced);
  std::string_view dir;
  std::string_view name;
  SplitListPath(text, &dir, &name);
  AppendNameSection(name);
  path_section_.clear();
  AppendPathSection(dir, &path_section_);
  line_.append(path_section_);
}

void IdListWriter::FormatHeader(RunMode mode, uint32_t serial, std::string_view label,
                                const platform::DateTime& start, std::string_view search_path) {
  line_.clear();
  if (mode == RunMode::kContinue) line_.append(kListLineEnd);
  line_.push_back(kRecordHeader);
  line_.push_back(static_cast<char>('0' + static_cast<int>(mode)));
  AppendMasked(&line_, serial, kMaskSerial);

  bool replaced = false;
  std::string_view text = WithoutLineBreaks(label, &scratch_, &replaced);
  text = text.substr(0, support::CharOffset(text, kHeaderLabelLength));
  line_.append(text);
  line_.append(kLabelFieldWidth - support::CharCount(text), ' ');

  AppendDateTime(&line_, start);
  line_.push_back(' ');
  end_stamp_offset_ = line_.size();
  line_.append(kUnsetEndTime);
  line_.push_back(' ');
  line_.push_back(static_cast<char>(RunState::kRunning));
  line_.push_back('_');
  if (options_.root_column > 0) AppendPathSections(search_path);
  line_.append(kListLineEnd);
  line_.append(kListLineEnd);
}

void IdListWriter::SetDirectory(std::string_view directory, const platform::DirHandle* handle) {
  directory_.assign(directory);
  handle_ = handle;
  const std::string_view text = WithoutLineBreaks(directory, &scratch_, &directory_had_breaks_);
  directory_section_.clear();
  AppendPathSection(text, &directory_section_);
  directory_section_.append(kListLineEnd);
}

int IdListWriter::AppendShortFileId(std::string_view name, const content::FirstBytes* first) {
  platform::File file;
  unsigned char read_here[content::kFirstBytesMax];
  const unsigned char* bytes = read_here;
  int64_t count = -1;
  if (first != nullptr) {
    bytes = first->bytes;
    count = first->count;
  } else {
    bool opened;
    if (handle_ != nullptr) {
      opened = file.OpenAt(*handle_, name, platform::OpenMode::kRead);
    } else {
      scratch_.assign(directory_);
      scratch_.append(name);
      opened = file.Open(scratch_, platform::OpenMode::kRead);
    }
    if (opened) count = file.Read(read_here, sizeof read_here);
    if (!file.IsOpen()) {
      line_.append(kCannotOpen);
      return 1;
    }
  }
  if (count < 0) {
    // Opened but unreadable: report it like a failed read rather than as no bytes.
    line_.append(kReadErrorPrefix);
    AppendMasked(&line_, content::kChkReadError, kMaskReadError);
    line_.push_back(' ');
    return 1;
  }
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  line_.append("F  $");
  for (int64_t i = 0; i < count; ++i) {
    line_.push_back(kHexDigits[bytes[i] >> 4]);
    line_.push_back(kHexDigits[bytes[i] & 15]);
  }
  line_.append(kIdFieldWidth - 4 - static_cast<size_t>(count) * 2, ' ');
  return 0;
}

int IdListWriter::FormatFileLine(uint8_t code, uint32_t id, const support::FindData& find_data,
                                 std::string_view name, const content::FirstBytes* first) {
  line_.clear();
  int errors = 0;
  switch (code) {
    case content::kChkOk:
      line_.append("F  ");
      AppendMasked(&line_, id, kMaskId);
      break;
    case content::kChkEmpty:
      line_.append(kEmptyFileId);
      break;
    case content::kChkTooShort:
      errors += AppendShortFileId(name, first);
      break;
    case content::kChkOpenFailed:
      line_.append(kCannotOpen);
      errors = 1;
      break;
    case content::kChkBufferSizeFailed:
    case content::kChkNoBuffer:
      line_.append(kAllocation);
      errors = 1;
      break;
    case content::kChkNotFound:
      line_.append(kCannotFind);
      errors = 1;
      break;
    default:
      // A read error, or any code without a text of its own: its number.
      line_.append(kReadErrorPrefix);
      AppendMasked(&line_, code, kMaskReadError);
      line_.push_back(' ');
      errors = 1;
      break;
  }
  if (code == content::kChkNotFound) {
    line_.append(kFixedPartWidth - kIdFieldWidth, ' ');
  } else {
    AppendMasked(&line_, find_data.size, kMaskSize);
    line_.push_back(' ');
    AppendFileTime(&line_, find_data.last_write_time);
    line_.push_back(' ');
    AppendFileTime(&line_, find_data.creation_time);
    uint32_t attributes = find_data.attributes & 0xFFFF;
    if (attributes > kAttributeLimit) attributes = LowBitsSumSx(attributes, kAttributeLimit);
    AppendMasked(&line_, attributes, kMaskSmall);
  }
  bool replaced = false;
  AppendNameSection(WithoutLineBreaks(name, &scratch_, &replaced));
  line_.append(directory_section_);
  if (replaced || directory_had_breaks_) ++errors;
  return errors;
}

void IdListWriter::AppendSumFields(char record, uint64_t id_sum, uint64_t bytes, uint64_t files,
                                   uint32_t attribute) {
  line_.push_back(record);
  line_.append("  ");
  AppendMasked(&line_, id_sum, kMaskIdSum);
  AppendMasked(&line_, bytes, kMaskBytes);
  AppendMasked(&line_, files, kMaskCount);
  AppendDecimal(&line_, attribute, kSumAttributeWidth);
}

void IdListWriter::FormatDirectoryLine(std::string_view directory, uint64_t id_sum, uint64_t bytes,
                                       uint64_t files) {
  line_.clear();
  AppendSumFields(kRecordDirectory, id_sum, bytes, files, kDirectoryAttribute);
  AppendPathSections(directory);
  line_.append(kListLineEnd);
}

void IdListWriter::FormatTotalsLine(uint64_t id_sum, uint64_t bytes, uint64_t files,
                                    std::string_view search_path) {
  line_.clear();
  line_.append(kListLineEnd);
  AppendSumFields(kRecordTotals, id_sum, bytes, files, kVolumeAttribute);
  AppendPathSections(search_path);
  line_.append(kListLineEnd);
}

std::string TreeListText(const support::StringList& directories) {
  std::string text;
  size_t total = 0;
  for (const std::string& dir : directories.items()) total += dir.size() + 2;
  text.reserve(total);
  for (const std::string& dir : directories.items()) {
    const size_t start = text.size();
    text.append(dir);
    for (size_t i = start; i < text.size(); ++i) {
      if (text[i] == '\r' || text[i] == '\n') text[i] = '?';
    }
    text.append(kListLineEnd);
  }
  return text;
}

bool SaveTreeList(const support::StringList& directories, const std::string& path) {
  return platform::WriteWholeFile(path, TreeListText(directories));
}

// Reading. Columns are characters; every step checks the line's end, so nothing a
// line holds can make the reader run past it or loop.
namespace {

constexpr size_t kNpos = std::string_view::npos;
// How far a widened size field may push the name section's bar right.
constexpr size_t kMaxSizeWidening = 9;

// Byte offset of the character `count` characters after byte offset `pos`; npos when
// the line ends first. `pos` == text.size() is a valid answer (just past the end).
size_t Advance(std::string_view text, size_t pos, size_t count) {
  while (count > 0) {
    if (pos >= text.size()) return kNpos;
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      ++pos;  // the fixed part and most names are ASCII
    } else {
      support::NextChar(text, &pos);
    }
    --count;
  }
  return pos;
}

// Character at byte offset pos, or 0 past the end.
char CharAt(std::string_view text, size_t pos) { return pos < text.size() ? text[pos] : '\0'; }

// Digits in the given base, at most 32-bit signed.
bool ConvertDigits(std::string_view text, int base, int64_t* value) {
  if (text.empty()) return false;
  int64_t result = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      return false;
    }
    result = result * base + digit;
    if (result > std::numeric_limits<int32_t>::max()) return false;
  }
  *value = result;
  return true;
}

// The integer conversion of the lists: optional sign, then decimal digits or "$" / "0x"
// and hex digits. False for anything else.
bool ConvertInt(std::string_view text, int64_t* value) {
  text = support::TrimView(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && text[0] == '$') {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (!ConvertDigits(text, base, value)) return false;
  if (negative) *value = -*value;
  return true;
}

// The text of `count` characters from byte offset pos (cut at the line's end).
std::string_view CharSpan(std::string_view text, size_t pos, size_t count) {
  if (pos >= text.size()) return std::string_view();
  size_t end = Advance(text, pos, count);
  if (end == kNpos) end = text.size();
  return text.substr(pos, end - pos);
}

std::string_view TrimBlanksRight(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool ReadFileLine(std::string_view line, FileLineFields* fields) {
  return ReadListLine(line, kRecordFile, fields);
}

bool ReadListLine(std::string_view line, char record, FileLineFields* fields) {
  // Trailing blanks (and NULs or a stray CR) go first, as the columns are read after.
  while (!line.empty() && static_cast<unsigned char>(line.back()) <= 32) line.remove_suffix(1);
  if (line.empty() || line[0] != record) return false;

  // The bar of the name section: column 79, or a little further when a size of 10^12
  // bytes or more widened its field.
  size_t bar = Advance(line, 0, kFileBarColumn - 1);
  size_t shift = 0;
  while (bar != kNpos && CharAt(line, bar) != '|' && shift < kMaxSizeWidening) {
    bar = Advance(line, bar, 1);
    ++shift;
  }
  if (bar == kNpos || CharAt(line, bar) != '|') return false;
  const size_t bar_column = kFileBarColumn + shift;  // 1-based

  // Block field: the three characters before the bar; length field before that.
  const size_t fields_start = Advance(line, 0, bar_column - 7);
  const std::string_view length_field = CharSpan(line, fields_start, kLengthFieldWidth);
  const std::string_view block_field =
      CharSpan(line, Advance(line, fields_start, kLengthFieldWidth), 3);
  int64_t blocks = 0;
  if (!ConvertInt(block_field, &blocks) || blocks <= 0) return false;
  // Beyond this the name section could not fit in any line we read.
  if (static_cast<uint64_t>(blocks) > line.size()) return false;
  const size_t name_chars = static_cast<size_t>(blocks) * kBlockLength - 3;

  const size_t name_start = Advance(line, bar, 2);
  if (name_start == kNpos) return false;
  size_t section = Advance(line, name_start, name_chars);
  if (section == kNpos) return false;
  std::string_view name = line.substr(name_start, section - name_start);
  // The length field says how long the name is, which keeps blanks that end a name.
  int64_t length = -1;
  const bool hex = support::TrimView(block_field).substr(0, 1) == "$";
  const bool length_ok = ConvertDigits(support::TrimView(length_field), hex ? 16 : 10, &length);
  const size_t keep =
      length_ok && length >= 0 ? Advance(name, 0, static_cast<size_t>(length)) : kNpos;
  if (keep != kNpos && TrimBlanksRight(name.substr(keep)).empty()) {
    name = name.substr(0, keep);
  } else {
    name = TrimBlanksRight(name);
  }

  // Walk the sections up to the path section, which comes last.
  for (;;) {
    if (section >= line.size()) return false;
    const size_t kind_pos = Advance(line, section, 1);
    const char kind = CharAt(line, kind_pos);
    if (kind == 'p' || kind == 'P') break;
    const size_t count_pos = Advance(line, section, 5);
    if (count_pos == kNpos) return false;
    int64_t count = 0;
    if (!ConvertInt(CharSpan(line, count_pos, 2), &count) || count <= 0) return false;
    if (static_cast<uint64_t>(count) > line.size()) return false;
    section = Advance(line, section, static_cast<size_t>(count) * kBlockLength - 1);
    if (section == kNpos) return false;
  }

  // "/pLLL+0 |RR path": the path starts at the section's column 13. A length of four
  // digits or a root column of three moves it right; the bar and the blank after the
  // root column show where.
  size_t path_bar = Advance(line, section, 8);
  for (int extra = 0; path_bar != kNpos && CharAt(line, path_bar) != '|' && extra < 4; ++extra) {
    path_bar = Advance(line, path_bar, 1);
  }
  if (path_bar == kNpos || CharAt(line, path_bar) != '|') path_bar = Advance(line, section, 8);
  if (path_bar == kNpos) return false;
  size_t path_start = Advance(line, path_bar, 4);
  if (path_start != kNpos && IsDigit(CharAt(line, path_start - 1)) &&
      CharAt(line, path_start) == ' ') {
    ++path_start;  // a root column of three digits
  }
  if (path_start == kNpos || path_start >= line.size()) return false;

  fields->id_field = CharSpan(line, 0, kIdFieldWidth);
  fields->name = name;
  fields->directory = line.substr(path_start);
  return true;
}

namespace {

// The root column of the path section that stands right before `directory`; 0 when the
// field holds no number.
int RootColumnBefore(std::string_view line, std::string_view directory) {
  const size_t section = static_cast<size_t>(directory.data() - line.data());
  if (section < kPathSectionHead) return 0;
  const std::string_view field = support::TrimView(
      line.substr(section - kPathSectionHead + kPathSectionRootStart, kRootFieldWidth));
  int value = 0;
  for (const char c : field) {
    if (!IsDigit(c)) return 0;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

bool IsRunMode(char c) {
  return c >= '0' + static_cast<int>(RunMode::kCreate) &&
         c <= '0' + static_cast<int>(RunMode::kUpdate);
}

bool ReadRunHeader(std::string_view line, RunHeader* header) {
  if (line.size() <= kHeaderModeOffset || line[0] != kRecordHeader ||
      !IsRunMode(line[kHeaderModeOffset])) {
    return false;
  }
  FileLineFields fields;
  if (ReadListLine(line, kRecordHeader, &fields)) {
    header->search_path.assign(fields.directory);
    header->search_path.append(fields.name);
    if (!fields.directory.empty()) header->root_column = RootColumnBefore(line, fields.directory);
  }
  // The label may hold multi-byte characters: the columns after it count characters.
  const size_t label_at = support::CharOffset(line, kHeaderLabelStart);
  const size_t time_at = support::CharOffset(line, kHeaderStartTimeStart);
  const size_t flag_at = support::CharOffset(line, kErrorFlagOffset);
  if (line.size() < kHeaderSerialStart + kHeaderSerialWidth || time_at + kTimeWidth > line.size() ||
      !SerialFromDigits(line.substr(kHeaderSerialStart, kHeaderSerialWidth), &header->serial)) {
    return true;
  }
  header->label = support::TrimRight(line.substr(label_at, time_at - label_at));
  header->start_time = std::string(line.substr(time_at, kTimeWidth));
  header->errors = flag_at < line.size() && line[flag_at] == 'E';
  header->volume_read = true;
  return true;
}

std::string PathBelowRoot(std::string_view search_path, int root_column) {
  if (root_column < 2 || static_cast<size_t>(root_column - 1) > search_path.size()) return {};
  return std::string(search_path.substr(static_cast<size_t>(root_column - 1)));
}

bool FileLinePath(std::string_view line, std::string* path) {
  FileLineFields fields;
  if (!ReadFileLine(line, &fields)) return false;
  path->assign(fields.directory);
  path->append(fields.name);
  return true;
}

int ReadDoneList(const support::StringList& lines, support::StringList* done) {
  int added = 0;
  std::string path;
  for (const std::string& line : lines.items()) {
    if (FileLinePath(line, &path)) {
      done->Add(path);
      ++added;
    }
  }
  return added;
}

int ReadDoneList(std::string_view text, support::StringList* done) {
  while (!text.empty() && text.back() == '\0') text.remove_suffix(1);
  int added = 0;
  std::string path;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    if (FileLinePath(text.substr(pos, end - pos), &path)) {
      done->Add(path);
      ++added;
    }
    pos = end;
    if (pos < text.size() && text[pos] == '\r') ++pos;
    if (pos < text.size() && text[pos] == '\n') ++pos;
  }
  return added;
}

uint32_t LowBitsSumSx(uint32_t value, uint32_t limit) {
  uint64_t result = 0;
  for (int bit = 0; bit < 32; ++bit) {
    const uint64_t weight = uint64_t{1} << bit;
    if ((value & weight) == 0) continue;
    if (result + weight > limit) return static_cast<uint32_t>(result);
    result += weight;
  }
  return value;
}

}  // namespace lists
