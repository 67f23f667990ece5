#pragma once
// What went wrong with one path of a run, as the job collects it and a compare reads it.

#include <cstdint>
#include <string>

namespace scan {

// What went wrong with one path of a run.
enum class ProblemKind : uint8_t {
  kDirectory,   // a directory not read (fully)
  kChanged,     // a file that changed between the walk and its read, or while it was read
  kUnreadable,  // a file that could not be opened or read
  kUnlistable,  // a name with CR or LF: its line cannot tell it from one with "?"
  // A file read from memory where the device was to be read: a note, not an error.
  kFromMemory,
};

// A path of a run that went wrong. Each is an error of the run, but kFromMemory.
struct ScanProblem {
  std::string path;    // a directory ends with "/"
  std::string reason;  // errno's text, or what went wrong
  ProblemKind kind = ProblemKind::kDirectory;
  bool directory() const { return kind == ProblemKind::kDirectory; }
};

constexpr char kChangedWhileRead[] = "changed while read";
constexpr char kReadFromMemory[] = "read from memory, not the disk";
constexpr char kVanishedBeforeRead[] = "vanished before it was read";
constexpr char kNoLongerAFile[] = "is no longer a regular file";
constexpr char kPlaceholder[] = "not on this disk: a placeholder";
constexpr char kNameBreaksLine[] = "the name holds a line break; the list shows it as \"?\"";
constexpr char kDirectoryBreaksLine[] =
    "its directory's name holds a line break; the list shows it as \"?\"";

}  // namespace scan
