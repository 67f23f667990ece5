#pragma once
// The report of a comparison as both front ends write it: one text line (or one JSON
// object) per file, a summary per class, the warnings about a list and the texts of
// lists that cannot be read. The command line prints it; the window saves the same bytes.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audit/compare.h"
#include "audit/verify_run.h"
#include "lists/list_reader.h"
#include "platform/files.h"
#include "scan/scan_job.h"

namespace audit {

// A file of another volume with the same size and id as a damaged or missing one.
struct ProbableCopy {
  std::string volume;  // its list's name
  std::string path;
};

struct ReportOptions {
  bool all = false;    // unchanged files too
  bool jsonl = false;  // one JSON object a line
  // Names a probable copy of a corrupted, unreadable or missing file, given the old list
  // and the file's line in it; unset or nothing: none is named.
  std::function<std::optional<ProbableCopy>(const lists::IdList&, const lists::ListedFile&)> probable_copy;
  // A verify's folders left out by its parameters, a line each after the files; not owned.
  const std::vector<fs::LeftOutDir>* left_out = nullptr;
};

// What a comparison found, worst first: the exit status of the command line follows it.
enum class AuditVerdict : uint8_t { kDamaged, kDifferent, kSame };

// The text line of one file, without line end: the class padded to a column, then the
// path (ReportedPath), for a moved file "OLD -> NEW". A file read from memory gets a
// line of its own below, "read from memory, not the disk" (WriteReportLines).
std::string ChangeLine(const ListComparison& comparison, const lists::IdList& old_list,
                       const lists::IdList& new_list, const FileComparison& entry);
// The JSON object of one file, without line end; "from_memory":true for a file read
// from memory, not the disk.
std::string ChangeJson(const ListComparison& comparison, const lists::IdList& old_list,
                       const lists::IdList& new_list, const FileComparison& entry);
// The id field of a file's line without its trailing blanks.
std::string_view TrimmedIdText(const lists::ListedFile& file);
// A JSON string: quotes, escapes, and each byte that is not part of valid UTF-8 as the
// character of that byte's value (\u00XX).
void AppendJsonString(std::string* out, std::string_view text);

// Hands the report's file lines, each ending with "\n", to `sink` in pieces of about
// 64 KiB (the last one may be empty), then a line for each folder of `left_out`.
// Unchanged files only with `all`, and only when the comparison kept them; a file read
// from memory always.
void WriteReportLines(const ListComparison& comparison, const lists::IdList& old_list,
                      const lists::IdList& new_list, const ReportOptions& options,
                      const std::function<void(std::string_view)>& sink);
// What a saved report says first: "Verify of LIST against PATH" or "Compare OLD with NEW"
// (and " (paths below each list's search path)" when they were matched so).
std::string ReportTitle(const AuditResult& result);
// The header of a saved report, ending with "\n": the title, "Date: DATE", the summary
// of SummaryText and a blank line; or, for JSON lines, one object of the same facts.
std::string ReportHeader(const AuditResult& result, bool jsonl);

// A saved report: the header, then the file lines. Opened before a long verify, so that
// a file that cannot be written is told before the scan.
class ReportFile {
 public:
  // Creates or empties `path`. False with "cannot write PATH: REASON" in `error`.
  bool Open(const std::string& path, std::string* error);
  // Writes the report and closes the file. False with the message in `error`; what was
  // written so far stays.
  bool Write(const AuditResult& result, const ReportOptions& options, std::string* error);

 private:
  std::string path_;
  platform::File file_;
};

// Open and Write in one.
bool SaveReport(const std::string& path, const AuditResult& result, const ReportOptions& options,
                std::string* error);

// One line per class, each ending with "\n": name, files and bytes in columns; then, when
// some were read from memory, a "from memory" line of those.
std::string SummaryText(const ChangeTotals& totals);
AuditVerdict VerdictOf(const ChangeTotals& totals);

// "LIST is incomplete (...)", "LIST lists N paths more than once ..." and the like, one
// text for each thing a comparison should be warned of; none for a sound list.
std::vector<std::string> ListWarnings(std::string_view name, const lists::IdList& list);

// The message for a list that could not be read: "cannot read LIST: REASON",
// "LIST: line N: not a line of an id list", "LIST is in use by another run" or "LIST is
// a symbolic link; give the list itself".
std::string ListErrorText(std::string_view name, const lists::ListReadError& error);

}  // namespace audit
