#pragma once
// What changed between two id lists of the same tree: every file is put in one class by
// its full path, its size, its last write time and its id.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "scan/list_reader.h"

namespace scan {

enum class FileChange : uint8_t {
  kUnchanged,   // same size, write time and id
  kTouched,     // same size and id, another write time
  kChanged,     // another write time, and another size or id
  kCorrupted,   // same size and write time, another id
  kUnreadable,  // a read error in the new list
  kMoved,       // gone from its old path, and the only file of its size and id that came
  kMissing,     // in the old list only
  kNew,         // in the new list only
  kNotListed,   // in one list only, and the other list is incomplete
};
constexpr size_t kFileChangeCount = 9;

// "unchanged", "touched", "changed", "corrupted", "unreadable", "moved", "missing",
// "new", "not listed".
std::string_view FileChangeName(FileChange change);

// One file's class. The records belong to the lists compared.
struct FileComparison {
  FileChange change = FileChange::kUnchanged;
  const ListedFile* old_file = nullptr;  // null for new files
  const ListedFile* new_file = nullptr;  // null for missing files
};

struct ChangeTotals {
  std::array<uint64_t, kFileChangeCount> files{};
  // Sizes as the new list has them; as the old one has them for files only it holds.
  std::array<uint64_t, kFileChangeCount> bytes{};
};

struct ListComparison {
  // Sorted by full path in bytes (a moved file by its old path). Unchanged files are
  // here only when asked for; they are always counted.
  std::vector<FileComparison> files;
  ChangeTotals totals;
};

// Classifies every file of two lists. A file without an id in the old list (it could
// not be read then) is compared by size and write time only. Moved files pair a missing
// and a new file of the same size and id when no other missing or new file has both;
// empty files and files without an id are never paired. A file in one list only is
// "not listed" instead of missing or new when the other list is incomplete, and is then
// not paired.
ListComparison CompareIdLists(const IdList& old_list, const IdList& new_list, bool keep_unchanged);

}  // namespace scan
