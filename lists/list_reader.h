#pragma once
// Reads a whole id list back into one record per file, for comparing catalogues. Takes
// every list the scan writes: several runs appended by Continue, hex name and path
// fields, size fields widened by files of 10^12 bytes and more, names ending in blanks,
// stopped and crashed runs (a NUL tail, a last line cut short). A file that is not an id
// list fails with the number of the first line that cannot be one: a line with a CR or
// a NUL inside is none (a list converted to CR line ends is one such line).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "lists/list_format.h"
#include "platform/files.h"

namespace lists {

// Whether a list holds every file of its search path.
enum class ListState : uint8_t {
  kComplete,    // the last run's header says every directory was scanned
  kStopped,     // the last run stopped early ("C")
  kAbnormal,    // the last run ended without finishing or stopping ("_" and an end time)
  kUnfinished,  // the last header was never stamped: a crash, or a run still going
  kNoRun,       // no header at all (a run stopped before it wrote one)
};

// "complete", "stopped", "ended abnormally", "unfinished", "holds no run".
std::string_view ListStateText(ListState state);

// A time as ListedFile holds it (yyyymmddhhnnss) in the list's own picture,
// "yyyy-mm-dd hh:nn:ss"; 0, a time the line shows none of, as the list shows it: blanks.
std::string WriteTimeText(uint64_t write_time);

constexpr size_t kIdTextWidth = 11;  // id field without its leading "F  "

// One "F" line. The views it leads to point into the IdList that holds it.
struct ListedFile {
  const char* line = nullptr;  // start of the line in the list's text
  uint64_t size = 0;           // 0 when the line has none (the file vanished)
  // Last write time as the decimal number yyyymmddhhnnss; 0 when the line shows none.
  uint64_t write_time = 0;
  uint32_t dir = 0;          // index into IdList::directories()
  uint32_t line_number = 0;  // 1-based
  uint16_t name_offset = 0;  // bytes from line
  uint16_t name_size = 0;
  // The id field holds a content id (digits, or the bytes of a short file), not a
  // failure text.
  bool has_id = false;
  // The line has size and times ("!CannotFind" has neither).
  bool has_size = false;
  // The path is listed more than once within one run: names that differ only in a CR
  // or LF, which a list writes as "?", share it, and the line may stand for either.
  bool ambiguous = false;

  std::string_view name() const { return {line + name_offset, name_size}; }
  // The 11 characters after "F  ": "07012 18845", "$616263    ", "!CannotOpen",
  // "%IO000 001 ".
  std::string_view id_text() const { return {line + 3, kIdTextWidth}; }
};

// Why a list could not be read.
struct ListReadError {
  size_t line = 0;  // 1-based; 0 when the file itself cannot be read
  std::string message;
  bool in_use = false;         // a run holds the list exclusively (it is being written)
  bool symbolic_link = false;  // the name is a symbolic link, which is never followed
  bool stopped = false;        // the read was asked to stop
};

// A list read into memory: its text, its directories and its files. Move-only; the
// records point into the text it owns.
class IdList {
 public:
  IdList() = default;
  IdList(IdList&&) = default;
  IdList& operator=(IdList&&) = default;

  ListState state() const { return state_; }
  bool complete() const { return state_ == ListState::kComplete; }
  int runs() const { return runs_; }
  // The search path named by the first header (or totals line) that names one; empty
  // when none does.
  const std::string& search_path() const { return search_path_; }
  // The last header whose serial and start time could be read (the volume the list was
  // last scanned on); a default RunHeader when none could.
  const RunHeader& last_header() const { return last_header_; }
  // Distinct directory paths (each ends with "/"), sorted by bytes.
  const std::vector<std::string_view>& directories() const { return directories_; }
  // One record per path, sorted by directory, then name (bytes); a path listed more
  // than once keeps its last line.
  const std::vector<ListedFile>& files() const { return files_; }
  // Lines dropped for a later run's line of the same path (a Continue may list a file
  // again).
  size_t repeated() const { return repeated_; }
  // Paths listed more than once within one run (their records are `ambiguous`).
  size_t ambiguous() const { return ambiguous_; }

  // Closes the list file, dropping its lock so that a run may take the list again; the
  // records stay as read.
  void ReleaseFile() { file_.Close(); }

  std::string_view directory(const ListedFile& file) const { return directories_[file.dir]; }
  std::string FullPath(const ListedFile& file) const;

 private:
  friend class IdListParser;
  friend bool ParseIdList(std::unique_ptr<char[]> text, size_t size, IdList* list,
                          ListReadError* error);
  friend bool ReadIdList(const std::string& path, IdList* list, ListReadError* error,
                         const std::atomic<bool>* stop);
  bool Parse(std::string_view text, ListReadError* error, const std::atomic<bool>* stop);
  std::unique_ptr<char[]> text_;
  // The list file read, open while the list lives: its shared lock keeps a run from
  // rewriting it meanwhile.
  platform::File file_;
  ListState state_ = ListState::kNoRun;
  int runs_ = 0;
  std::string search_path_;
  RunHeader last_header_;
  std::vector<std::string_view> directories_;
  std::vector<ListedFile> files_;
  size_t repeated_ = 0;
  size_t ambiguous_ = 0;
};

// Takes `text` (the whole file, `size` bytes) and reads it. False with `error` set when
// a line is not one a list holds; `list` is then left empty.
bool ParseIdList(std::unique_ptr<char[]> text, size_t size, IdList* list, ListReadError* error);
// Reads the file at `path` to its end (whatever size it records) and parses it. The
// list keeps a shared lock on the file while it lives: a list a run holds is refused
// (`in_use`), and no run can take it meanwhile. A symbolic link is refused
// (`symbolic_link`). Safe to call from several threads at once. A `stop` set from another
// thread ends the read between buffers and the parse between lines: false, `stopped`.
bool ReadIdList(const std::string& path, IdList* list, ListReadError* error,
                const std::atomic<bool>* stop = nullptr);

// The usual file line read directly, for speed: the name section at its bar (0-based,
// moved right by a widened size field) holding exactly its length in characters, then the
// path section. The caller has checked that the fixed part before the bar is ASCII (ids,
// sizes, times and attributes are), so that bytes count as columns there. False for any other shape, which ReadFileLine then reads; where both
// read a line, they find the same directory and the same name.
bool ReadUsualFileLine(std::string_view line, size_t bar, std::string_view* name,
                       std::string_view* directory);

// Compares two paths given as directory and name, as their joined bytes compare.
int CompareSplitPaths(std::string_view dir_a, std::string_view name_a, std::string_view dir_b,
                      std::string_view name_b);

}  // namespace lists
