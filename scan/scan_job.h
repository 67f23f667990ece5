#pragma once
// The scan job: gathers the directories under a search path into the tree list, then
// computes the content id of every file and writes the id list. It runs once on its own
// worker thread and reports its phases and progress to a window through synchronous
// notifications; the window's reply is the only way back into the job.
//
// Lifecycle: create the job with its settings (it starts suspended), then hand it to
// TDskFil::Start, which moves it onto its thread. From then on the job belongs to its
// thread: it frees itself after its last notification (9999), and the creator may touch
// it only inside ScanWindow::OnJobNotify. The future returned by Start outlives the job
// and tells how the run ended.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "fs/dir_iter.h"
#include "lists/list_output.h"
#include "scan/job_notice.h"
#include "scan/job_thread.h"
#include "scan/run_settings.h"
#include "scan/scan_problem.h"
#include "support/string_list.h"

namespace lists {
class IdListWriter;
}  // namespace lists

namespace content {
struct ReadResult;
}  // namespace content

namespace scan {
class ListedDirs;
class ReadPlan;
struct PlannedDirectory;

constexpr char kScanMessageCaption[] = "Scandisk";
constexpr char kNoBufferMessage[] = "Failed to allocate memory buffer";

// Why a folder is not in the lists: "left out by the parameters (/EP temp)".
std::string LeftOutReason(const fs::LeftOutDir& dir);

// What a window reads of a running job during a notification.
struct JobCounters {
  int32_t dir_index = 0;
  int32_t last_dir_index = 0;
  int32_t file_index = 0;
  int32_t last_file_index = 0;
  int32_t error_count = 0;
  int32_t files_done = 0;
  int64_t total_bytes = 0;
  int64_t bytes_done = 0;
  int64_t dir_bytes = 0;
  int64_t dir_bytes_done = 0;
  int32_t buffer_size = 0;
  int32_t readers = 0;
  int32_t readers_most = 0;
  std::string current_dir;
  std::string current_file;
  uint64_t dir_id_sum = 0;
  uint64_t run_id_sum = 0;
};

// The file scan job.
class TDskFil : public cmdDisk {
 public:
  // job_name empty: "DskFil" without a window, else the window's name + "_DskFil". The
  // job starts suspended.
  TDskFil(ScanWindow* window, const std::string& job_name, const std::string& search_path);
  // A job of these settings, read-only from now on but for the interval, which lives on
  // in cmdDisk where the window may change it. An empty job name is made as above.
  TDskFil(ScanWindow* window, scan::RunSettings settings);
  ~TDskFil() override;

  // Moves the job onto its own thread, owned by the JobThread returned, and starts it.
  // The job frees itself when its run ends; done() becomes ready after that. A job that
  // was told to stop (and given no window) before Start runs straight to its end without
  // scanning. Throws std::system_error when no thread can be created; the job is freed then.
  static JobThread Start(std::unique_ptr<TDskFil> job);

  const scan::RunSettings& settings() const { return settings_; }
  const std::string& job_name() const { return settings_.job_name; }

  // Counters, read by the window during a notification.
  int32_t dir_index() const { return counters_.dir_index; }
  int32_t last_dir_index() const { return counters_.last_dir_index; }
  int32_t file_index() const { return counters_.file_index; }
  int32_t last_file_index() const { return counters_.last_file_index; }
  int32_t error_count() const { return counters_.error_count; }
  int32_t files_done() const { return counters_.files_done; }
  int64_t total_bytes() const { return counters_.total_bytes; }
  int64_t bytes_done() const { return counters_.bytes_done; }
  int64_t dir_bytes() const { return counters_.dir_bytes; }
  int64_t dir_bytes_done() const { return counters_.dir_bytes_done; }
  int32_t buffer_size() const { return counters_.buffer_size; }
  // Threads reading files in this run (and looking files up while the directories are
  // gathered); 0 until the lists are held, after code 1. Chosen (threads 0), it may change
  // from file to file; readers_most() is the most so far.
  int32_t readers() const { return counters_.readers; }
  int32_t readers_most() const { return counters_.readers_most; }
  const std::string& current_dir() const { return counters_.current_dir; }
  const std::string& current_file() const { return counters_.current_file; }
  uint64_t dir_id_sum() const { return counters_.dir_id_sum; }
  uint64_t run_id_sum() const { return counters_.run_id_sum; }
  const support::StringList& dir_list() const { return dir_list_; }
  // Directories not read and files that changed while read, so far.
  const std::vector<ScanProblem>& problems() const { return outcome_.problems; }
  // Folders the directory parameters left out, so far, in the order the walk met them.
  const std::vector<fs::LeftOutDir>& left_out() const { return outcome_.left_out; }
  // Why the scan ended abnormally; empty otherwise.
  const std::string& failure() const { return outcome_.failure; }
  // Every directory was scanned; known at the end notification ("F" in the header).
  bool finished() const { return outcome_.finished; }

  // The thread body: start notification, the scan, end notification. Public so that
  // tests can run a job on the calling thread; Start is the normal way.
  void Execute();

 private:
  int32_t SendToWindow(const JobEvent& event) override;
  // The scan: the steps up to the end of the directory loop, then the end of the lists.
  void Scan();
  void Run();
  // A continued id list must begin with a header of this search path (or hold no run).
  bool CheckIdList();
  bool LoadTreeList();
  void GatherAgain(const std::string& line);
  bool GatherTree();
  void WriteHeader();
  // False when the job was told to stop or a line could not be written.
  bool ScanDirectories();
  bool ScanDirectory(scan::PlannedDirectory& dir);
  bool ScanFiles(scan::PlannedDirectory& dir);
  // Names each error of a file's line (and a change the line does not count), so that
  // the problems of a run are as many as its errors.
  void NameFileErrors(const content::ReadResult& result, int line_errors, std::string_view entry);
  void Problem(const std::string& path, const std::string& reason, ProblemKind kind);
  void CountReaders();
  // Cuts and stamps the id list, lets both lists go.
  void EndLists();
  // Keeps the first failure of the run; a refusal also marks the run refused.
  void Fail(const std::string& text, bool refuse = false);
  // Words a fault of a list; false when there is none.
  bool ListFailed(lists::ListFault fault, const char* list, const std::string& path,
                  const std::string& error);
  bool IdListFailed(lists::ListFault fault);
  bool TreeListFailed(lists::ListFault fault);
  // Runs Execute and turns anything that escapes it into a failed run.
  void RunGuarded() noexcept;
  // Inside a catch block: keeps the text of what escaped as the failure.
  void NoteFailure() noexcept;
  ScanOutcome Outcome() const;

  const scan::RunSettings settings_;
  fs::THddRun run_;  // the walks of the tree
  JobCounters counters_;
  support::StringList dir_list_;
  // Filled as the run goes: its problems, notes and end.
  ScanOutcome outcome_;
  bool end_sent_ = false;
  std::unordered_set<std::string> reported_;  // directories named as problems
  lists::ListOutput ids_;
  lists::TreeListFile tree_;
  std::unique_ptr<scan::ListedDirs> dirs_;
  std::unique_ptr<scan::ReadPlan> plan_;
  std::unique_ptr<lists::IdListWriter> writer_;
  bool blank_line_ = true;  // the id list's last line is blank
  bool progress_sent_ = false;
  uint32_t progress_tick_ = 0;
};

}  // namespace scan

// The job keeps the name it is known by.
using scan::TDskFil;
