#pragma once
// What changed between two id lists of the same tree: every file is put in one class by
// its path, its size, its last write time and its id.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "lists/list_reader.h"
#include "scan/scan_problem.h"

namespace audit {

enum class FileChange : uint8_t {
  kUnchanged,      // same size, write time and id
  kTouched,        // same size and id, another write time
  kChanged,        // another write time, and another size or id; or changed while read
  kCorrupted,      // same size and write time, another id
  kUnreadable,     // a read error in the new list, or below a directory it could not read
  kMoved,          // gone from its old path, and the only file of its size and id that came
  kMissing,        // in the old list only
  kNew,            // in the new list only
  kNotListed,      // in one list only, and the other list is incomplete
  kNotComparable,  // a path a list cannot tell from another: a name with CR or LF
};
constexpr size_t kFileChangeCount = 10;

// "unchanged", "touched", "changed", "corrupted", "unreadable", "moved", "missing",
// "new", "not listed", "not comparable".
std::string_view FileChangeName(FileChange change);

// One file's class. The records belong to the lists compared.
struct FileComparison {
  FileChange change = FileChange::kUnchanged;
  const lists::ListedFile* old_file = nullptr;  // null for new files
  const lists::ListedFile* new_file = nullptr;  // null for missing files
  // A verify read the file from memory, not the disk (the device could not be read
  // past pages another process holds): its class is that of those bytes, unverified.
  bool from_memory = false;
};

struct ChangeTotals {
  std::array<uint64_t, kFileChangeCount> files{};
  // Sizes as the new list has them; as the old one has them for files only it holds.
  std::array<uint64_t, kFileChangeCount> bytes{};
  // Of all those, the files read from memory, not the disk, and their bytes.
  uint64_t from_memory_files = 0;
  uint64_t from_memory_bytes = 0;
};

struct CompareOptions {
  // Unchanged files are listed in the result too (they are always counted).
  bool keep_unchanged = false;
  // Paths are matched below each list's search path instead of whole: the same tree
  // listed under two mount points. Takes effect when both lists name their search path.
  bool relative = false;
  // The problems of the scan that wrote the new list, as verify has them: a file
  // changed while it was read is "changed" (not corrupted or unreadable), one whose
  // name a list cannot hold is "not comparable", a file of the old list below a
  // directory that could not be read is "unreadable" (not missing), and one read from
  // memory is marked so (and kept, unchanged or not). Null for none.
  const std::vector<scan::ScanProblem>* new_problems = nullptr;
  // Set from another thread to stop: the comparison ends at its next file, and a read
  // of a list at its next buffer, with `stopped` set and nothing else. Null for none.
  const std::atomic<bool>* stop = nullptr;
};

struct ListComparison {
  // Sorted by path in bytes (a moved file by its old path; relative paths when the
  // comparison is relative). Unchanged files are here only when asked for; they are
  // always counted.
  std::vector<FileComparison> files;
  ChangeTotals totals;
  // The search paths (each ending with "/") below which paths were matched; both empty
  // when they were matched whole.
  std::string old_root;
  std::string new_root;
  // Asked to stop before the end: no files and no totals, for nothing was compared whole.
  bool stopped = false;
};

// Classifies every file of two lists. A file without an id in the old list (it could
// not be read then) is compared by size and write time only. Moved files pair a missing
// and a new file of the same size and id when no other missing or new file has both;
// empty files and files without an id are never paired. A file in one list only is
// "not listed" instead of missing or new when the other list is incomplete, and is then
// not paired. A path either list names more than once within one run (two names that
// differ only in CR, LF or "?") is "not comparable", never unchanged.
ListComparison CompareIdLists(const lists::IdList& old_list, const lists::IdList& new_list,
                              const CompareOptions& options);

// The path a report names for `file` of `list`, the old list when `old_side`: its full
// path; in a relative comparison, the new list's search path joined with the file's
// path below its own list's search path (a file outside that search path keeps its
// full path).
std::string ReportedPath(const ListComparison& comparison, const lists::IdList& list,
                         const lists::ListedFile& file, bool old_side);

}  // namespace audit
