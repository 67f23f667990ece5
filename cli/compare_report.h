#pragma once
// How compare and verify show what changed: one line (or one JSON object) per file on
// stdout, a summary per class and the warnings on stderr, and the exit status.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "audit/compare.h"
#include "lists/list_reader.h"

namespace cli {

constexpr int kExitSame = 0;        // no differences
constexpr int kExitDifferent = 1;   // differences, nothing corrupted or unreadable
constexpr int kExitListError = 2;   // usage error, or a list that cannot be read
constexpr int kExitDamaged = 3;     // corrupted or unreadable files

// A file of another volume with the same size and id as a damaged or missing one.
struct ProbableCopy {
  std::string volume;  // its list's name
  std::string path;
};

struct ReportOptions {
  bool all = false;    // unchanged files too
  bool jsonl = false;  // one JSON object a line
  // Names a probable copy of a corrupted, unreadable or missing file, given its old
  // line; unset or nothing: none is named.
  std::function<std::optional<ProbableCopy>(const scan::ListedFile&)> probable_copy;
};

// The text line of one file, without line end: the class padded to a column, then the
// path (scan::ReportedPath), for a moved file "OLD -> NEW".
std::string ChangeLine(const scan::ListComparison& comparison, const scan::IdList& old_list,
                       const scan::IdList& new_list, const scan::FileComparison& entry);
// The JSON object of one file, without line end.
std::string ChangeJson(const scan::ListComparison& comparison, const scan::IdList& old_list,
                       const scan::IdList& new_list, const scan::FileComparison& entry);
// A JSON string: quotes, escapes, and each byte that is not part of valid UTF-8 as the
// character of that byte's value (\u00XX).
void AppendJsonString(std::string* out, std::string_view text);

// "checker-cli: warning: LIST is stopped: ..." for an incomplete list, for a list that
// names a path again in a later run, and for one that names a path more than once
// within one run.
void WarnAboutList(std::string_view name, const scan::IdList& list);

// Writes the files on stdout and the summary on stderr; returns the exit status.
int ReportComparison(const scan::IdList& old_list, const scan::IdList& new_list,
                     const scan::ListComparison& comparison, const ReportOptions& options);

// The message for a list that could not be read: "cannot read LIST: REASON",
// "LIST: line N: not a line of an id list", "LIST is in use by another run" or "LIST is
// a symbolic link; give the list itself".
std::string ListErrorText(std::string_view name, const scan::ListReadError& error);

}  // namespace cli
