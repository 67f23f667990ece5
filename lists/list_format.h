#pragma once
// The two lists a scan writes: the tree list (one directory per line) and the id list
// (a run header, one columnar line per file, a trailer per directory, a totals line).
// Lines end with CR LF. Columns, lengths and block counts count characters (UTF-8 code
// points), so the columns line up in a UTF-8 editor. Any CR or LF in a written text
// becomes "?".

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/files.h"
#include "content/content_id.h"
#include "support/find_data.h"
#include "support/string_list.h"

namespace lists {

inline constexpr std::string_view kListLineEnd = "\r\n";

// Record ids, the first character of every id-list line.
constexpr char kRecordHeader = 'A';
constexpr char kRecordFile = 'F';
constexpr char kRecordDirectory = 'R';
constexpr char kRecordTotals = 'T';

constexpr size_t kBlockLength = 15;     // characters per name-section block
constexpr size_t kFixedPartWidth = 72;  // columns before the first name section
constexpr size_t kIdFieldWidth = 14;    // columns 1-14 of a file line
constexpr size_t kFileBarColumn = 79;   // "|" of a file line's name section (1-based)
constexpr uint16_t kDefaultMinBlocks = 4;
// Larger minimum block counts would widen the 3-character block field and make the
// lines unreadable; they are held at this value.
constexpr uint16_t kMaxMinBlocks = 99;

// Byte offsets in a file line whose size field has its normal width; a widened size
// field moves everything from the size's end on by the same amount.
constexpr size_t kSizeStart = 14;
constexpr size_t kSizeEnd = 29;
constexpr size_t kWriteTimeStart = 30;
constexpr size_t kCreationTimeStart = 50;
constexpr size_t kAttributesStart = 69;
constexpr size_t kLengthStart = kFixedPartWidth;
// A time field, "yyyy-mm-dd hh:nn:ss", and the end time of a header not yet stamped.
constexpr size_t kTimeWidth = 19;
inline constexpr std::string_view kUnsetEndTime = "0000-00-00 00:00:00";
// The id field of a file that was gone when it was read, after "F  ".
inline constexpr std::string_view kCannotFindId = "!CannotFind";
// "/pLLL+0 |RR " before the directory of a path section: the bar, then the root column.
constexpr size_t kPathSectionHead = 12;
constexpr size_t kPathSectionBar = 8;
constexpr size_t kPathSectionRootStart = 9;
constexpr size_t kRootFieldWidth = 2;

// Character offsets in a run header, "A1 ddddd ddddd LABEL START END S": the run mode
// after the record id, the serial's 11 characters, the label field, the start time.
constexpr size_t kHeaderModeOffset = 1;
constexpr size_t kHeaderSerialStart = 3;
constexpr size_t kHeaderSerialWidth = 11;
constexpr size_t kHeaderLabelStart = 15;
constexpr size_t kHeaderStartTimeStart = 30;
// The end stamp of the header: columns 51-72, the run's state in column 71 and the error
// flag right after it (so kStateColumn is also the flag's 0-based offset).
constexpr size_t kEndStampColumn = 51;
constexpr size_t kEndStampWidth = 22;
constexpr size_t kStateColumn = 71;
constexpr size_t kErrorFlagOffset = kStateColumn;
constexpr size_t kHeaderLabelLength = 11;  // characters of the volume label kept

// Attributes above this are cut with LowBitsSumSx before they are written.
constexpr uint32_t kAttributeLimit = 999;
constexpr uint32_t kDirectoryAttribute = 16;  // shown in trailer lines
constexpr uint32_t kVolumeAttribute = 8;      // shown in totals lines

enum class RunMode : uint8_t { kCreate = 1, kContinue = 2, kUpdate = 3 };

// Column 71 of the header.
enum class RunState : char { kRunning = '_', kFinished = 'F', kStopped = 'C' };

struct ListOptions {
  bool hex_file = false;    // name lengths and block counts in hex
  bool hex_path = false;    // directory lengths in hex
  uint16_t min_blocks = 0;  // minimum block count of name sections; 0 = none
  // Root column of the run's search path (fs::RootColumn); 0 when it could not be
  // determined: the path sections then show blanks and the header has no sections.
  int root_column = 0;
};

// The block count of a name section for a name of `chars` characters.
uint32_t NameBlocks(size_t chars, uint16_t min_blocks);

// Splits a path at the last "/" found scanning from the next-to-last character back
// to the first: "/data/" -> "/" and "data/", "/a/b" -> "/a/" and "b", "/" -> "/" and "".
void SplitListPath(std::string_view path, std::string_view* dir, std::string_view* name);

// Formats the lines of an id list into one reused buffer, so that writing a file line
// allocates nothing once the buffer and the directory have warmed up. One object per
// run; not thread-safe. Every Format... call replaces line() with the complete text to
// write, line ends included.
class IdListWriter {
 public:
  explicit IdListWriter(const ListOptions& options);

  const ListOptions& options() const { return options_; }
  // The text formatted last.
  const std::string& line() const { return line_; }

  // The run header: for kContinue first an empty line (CR LF) that ends the old
  // content, then the "A" line with the end stamp "0000-00-00 00:00:00 __", then the
  // empty line that follows it. The label is cut to 11 characters; the name and path
  // sections of the search path follow only when the root column is known.
  void FormatHeader(RunMode mode, uint32_t serial, std::string_view label,
                    const platform::DateTime& start, std::string_view search_path);
  // Byte offset in line() (after FormatHeader) where the end stamp begins: character
  // column 51 of the "A" line, which moves past byte 50 when the label has multi-byte
  // characters, and past the leading CR LF of a continued run.
  size_t end_stamp_offset() const { return end_stamp_offset_; }

  // Sets the directory whose files follow (a full path ending with "/") and builds its
  // path section once. Short files are read through `handle` when given (it must stay
  // open while the directory's lines are formatted), else by the path as given.
  void SetDirectory(std::string_view directory, const platform::DirHandle* handle = nullptr);
  const std::string& directory() const { return directory_; }

  // One "F" line for a file of the current directory: the result code and id of
  // FileChkSx, its find-data record and its name as listed. For code 253 the file's
  // first bytes (up to 5) are `first` when given, else read here. Returns the errors the
  // line counts: 1 for a failure code, plus 1 when the name or the directory held CR or
  // LF.
  int FormatFileLine(uint8_t code, uint32_t id, const support::FindData& find_data,
                     std::string_view name, const content::FirstBytes* first = nullptr);

  // The "R" line of a directory (full path ending with "/"): its id sum, the bytes and
  // files its listing counted.
  void FormatDirectoryLine(std::string_view directory, uint64_t id_sum, uint64_t bytes,
                           uint64_t files);

  // An empty line, then the "T" line: the run's id sum, the bytes counted when the
  // directories were gathered and the files processed, then the search path.
  void FormatTotalsLine(uint64_t id_sum, uint64_t bytes, uint64_t files,
                        std::string_view search_path);

 private:
  void AppendNameSection(std::string_view name);
  void AppendPathSection(std::string_view directory, std::string* out);
  void AppendPathSections(std::string_view path);
  void AppendSumFields(char record, uint64_t id_sum, uint64_t bytes, uint64_t files,
                       uint32_t attribute);
  int AppendShortFileId(std::string_view name, const content::FirstBytes* first);

  ListOptions options_;
  std::string line_;
  std::string directory_;
  const platform::DirHandle* handle_ = nullptr;
  std::string directory_section_;  // path section of directory_, with its CR LF
  bool directory_had_breaks_ = false;
  std::string scratch_;  // replaced names, the full path of a short file
  std::string path_section_;
  size_t end_stamp_offset_ = 0;
};

// The 22 characters of the end stamp: end time, a blank, the state letter, and "E"
// when the run counted errors, else a blank.
std::string EndStamp(const platform::DateTime& end, RunState state, bool had_errors);

// Appends "yyyy-mm-dd hh:nn:ss" of a file time (UTC); 19 blanks when it cannot be
// converted or lies past the year 9999, so that the columns hold.
void AppendFileTime(std::string* out, uint64_t file_time);
// Appends "yyyy-mm-dd hh:nn:ss".
void AppendDateTime(std::string* out, const platform::DateTime& time);

// The tree list: every directory followed by CR LF, CR and LF in names replaced.
std::string TreeListText(const support::StringList& directories);
// Writes the tree list; false on any failure.
bool SaveTreeList(const support::StringList& directories, const std::string& path);

// Where the fields of an "F" line are (views into the line read).
struct FileLineFields {
  std::string_view id_field;   // columns 1-14
  std::string_view name;       // trailing blanks removed
  std::string_view directory;  // from the path section, trailing blanks removed
};

// Reads an "F" line that has a name section and a path section. False for any other
// line: another record, a block count that is empty, 0 or does not convert, sections
// cut short, no path section. Never reads outside the line.
bool ReadFileLine(std::string_view line, FileLineFields* fields);
// The same for a line of the given record id ("A" and "T" lines name the search path).
bool ReadListLine(std::string_view line, char record, FileLineFields* fields);
// The file's full path (directory + name); false when ReadFileLine fails.
bool FileLinePath(std::string_view line, std::string* path);

// The facts of a run header ("A" line) beyond its end stamp.
struct RunHeader {
  std::string label;  // trailing blanks removed
  uint32_t serial = 0;
  std::string start_time;  // "yyyy-mm-dd hh:nn:ss" as written
  bool errors = false;     // the end stamp's "E": the run counted errors
  // Column of the search path's volume root in the path section (fs::RootColumn); 0
  // when the header has no path section.
  int root_column = 0;
  std::string search_path;  // from the name and path sections; empty without them
  // The serial and the start time stand in their columns; without them only the search
  // path may have been read.
  bool volume_read = false;
};

// Whether `c`, the character after a header's "A", names a run mode ("1" to "3").
bool IsRunMode(char c);

// Reads one header line (no line end). False when it is no "A1".."A3" line; fields it
// does not hold in their columns keep their defaults.
bool ReadRunHeader(std::string_view line, RunHeader* header);

// The search path below its volume's root, from the root column: "/media/u/USB/Photos/"
// with 14 gives "Photos/". Empty when the column is unknown or past the path.
std::string PathBelowRoot(std::string_view search_path, int root_column);

// Adds the full path of every readable "F" line to `done` (unsorted); unreadable lines
// are skipped. Returns the number of paths added.
int ReadDoneList(const support::StringList& lines, support::StringList* done);
// The same over a whole list file's text; NUL bytes at its end (left by a crash while
// the file was grown) are ignored.
int ReadDoneList(std::string_view text, support::StringList* done);

// Adds the set bits of `value` from the lowest upward and stops before the first whose
// addition would exceed `limit`; `value` itself when every set bit fits.
uint32_t LowBitsSumSx(uint32_t value, uint32_t limit);

}  // namespace lists
