#pragma once
// The audit runs both front ends share: a verify (the disk scanned again into new lists
// and compared with the list it had) and a comparison of two list files. Each ends in
// one AuditResult that holds the lists and what changed between them.
//
// A verify takes three steps around the scan job, which its caller runs on the job's
// own thread with its own progress and stop: Open (reads and holds the list), Prepare
// (the new lists' place), then, once the job has ended, Compare. Any thread may run the
// steps, one at a time.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "audit/compare.h"
#include "lists/list_reader.h"
#include "scan/run_settings.h"
#include "scan/scan_job.h"

namespace audit {

// What a verify or a comparison found. Not movable: the comparison points into the
// lists. The old list stays open (and locked against a run) while the result lives.
// What a refused Open or Prepare lacks, for each front end to word with its own flag or
// field: a search path the list does not give (or gives unsafely), a free name for a new
// list, a name other than the list's own.
enum class VerifyLack { kNone, kSearchPath, kFreeName, kOtherName };

struct AuditResult {
  AuditResult() = default;
  AuditResult(const AuditResult&) = delete;
  AuditResult& operator=(const AuditResult&) = delete;

  std::string old_name;  // the lists as named to the run (a verify's new list: its file)
  std::string new_name;
  bool verify = false;  // the new list is a verify's scan of the old one's tree
  std::string date;     // when the lists were compared, "yyyy-mm-dd hh:nn:ss" local time
  lists::IdList old_list;
  lists::IdList new_list;
  ListComparison comparison;
  // The scan's problems (a verify only), in the order they came.
  std::vector<scan::ScanProblem> problems;
  // The folders its parameters left out (a verify only), by path.
  std::vector<fs::LeftOutDir> left_out;
};

class VerifyRun {
 public:
  VerifyRun();
  // Removes the temp folder of the new lists, when one was made.
  ~VerifyRun();
  VerifyRun(const VerifyRun&) = delete;
  VerifyRun& operator=(const VerifyRun&) = delete;

  // Removes the temp folders of verifies killed before they could, reads `list` and
  // holds it, and chooses the path to scan: `search_path` when not empty, else the
  // list's own. False with the message in `error` for a list that cannot be read, one
  // that names no search path, and a path whose line breaks a list cannot show. The
  // path is not looked at: whether it is a directory is for the caller to tell.
  bool Open(const std::string& list, const std::string& search_path, std::string* error);
  // The path to scan as given or as the list names it, and made absolute.
  const std::string& given_search_path() const { return given_path_; }
  const std::string& search_path() const { return absolute_path_; }
  // After a refused Open or Prepare: what it lacks (kNone for any other refusal).
  VerifyLack lack() const { return lack_; }
  // Scans `path` instead: the list's volume found mounted elsewhere.
  void MoveSearchPath(const std::string& path);

  // The new lists go to `write` and `tree` (empty: beside `write`, with the tree list's
  // extension), which must be free, or, with `write` empty, to a temp folder removed
  // with this object (or by a later verify when this process is killed). False with
  // the message in `error`.
  bool Prepare(const std::string& write, const std::string& tree, std::string* error);
  const std::string& new_id_list() const { return id_list_; }
  const std::string& new_tree_list() const { return tree_list_; }

  // `base` made into the settings of the verify's job: a Create of the search path into
  // the new lists, reading the disk rather than the page cache unless `cached`.
  scan::RunSettings JobSettings(scan::RunSettings base, bool cached) const;

  // After the job has ended with its list written: reads the new list and classes every
  // file, unchanged ones kept when asked for. False with the message in `error` when the
  // new list cannot be read. A `stop` set from another thread ends the read and the
  // comparison early: true, with the result's comparison `stopped`.
  bool Compare(const scan::ScanOutcome& outcome, bool keep_unchanged, std::string* error,
               const std::atomic<bool>* stop = nullptr);

  // The result, valid from Open on; its comparison from Compare on. Shared, so that it
  // may outlive this run (and its temp folder).
  const std::shared_ptr<AuditResult>& result() const { return result_; }

 private:
  class NewLists;
  std::shared_ptr<AuditResult> result_;
  std::unique_ptr<NewLists> lists_;
  std::string given_path_;
  std::string absolute_path_;
  std::string id_list_;
  std::string tree_list_;
  VerifyLack lack_ = VerifyLack::kNone;
};

// What a verify says when its job wrote no list, and when it stopped after `files` files.
constexpr char kNothingVerified[] = "stopped before any file was read: nothing was verified";
std::string PartialVerifyText(int32_t files);

// Reads both lists side by side and classes every file, unchanged ones kept when asked
// for; matched below each list's search path when `options.relative`. False with one
// message per list that cannot be read (or, relative, names no search path) in `errors`.
// std::bad_alloc when the memory runs out. Asked to stop (`options.stop`): true, with
// `result->comparison.stopped`, whether the lists were read or not.
bool CompareListFiles(const std::string& old_name, const std::string& new_name,
                      const CompareOptions& options, AuditResult* result,
                      std::vector<std::string>* errors);

}  // namespace audit
