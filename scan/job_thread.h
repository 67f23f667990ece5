#pragma once
// How a run ended, and the owner of the thread a job runs on: what a creator keeps of a
// job that frees itself.

#include <atomic>
#include <cstdint>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fs/dir_iter.h"
#include "scan/scan_problem.h"

namespace scan {

// How a run ended, for the creator; filled when the job has ended.
struct ScanOutcome {
  bool scanned = false;   // the scan ran (it was not stopped before it began)
  bool finished = false;  // every directory was scanned ("F" in the header)
  bool stopped = false;   // stopped early (never together with finished)
  // A Continue found every file listed already and left the id list as it was.
  bool nothing_left = false;
  // The lists given to a Continue are not those of this search path; nothing was written.
  bool refused = false;
  bool id_list_written = false;  // the id list was opened and a header written
  int32_t error_count = 0;
  int32_t files_done = 0;
  // Threads that took files at the end of the run, and the most at once; they differ
  // only when the count was chosen (threads 0). 0 when the run ended before choosing.
  int32_t readers_last = 0;
  int32_t readers_most = 0;
  // Why the run could not write its lists or ended abnormally; empty otherwise.
  std::string failure;
  std::vector<ScanProblem> problems;
  // Directories listed but not entered for lying on another file system, each once
  // (ending with "/"). Not errors of the run.
  std::vector<std::string> other_volumes;
  // Folders the directory parameters left out, by path. Notes, not errors.
  std::vector<fs::LeftOutDir> left_out;
};

// The owner of a started job's thread. Destroying it (or assigning another) stops the
// job and waits for its thread; the job sees the stop at its next buffer. Never let it
// go on the thread that answers the job's notifications while one may be waiting for an
// answer there. Stop is safe from any thread; the rest belongs to the owner's thread.
class JobThread {
 public:
  JobThread() = default;
  JobThread(std::thread thread, std::shared_ptr<std::atomic<bool>> stop,
            std::shared_future<ScanOutcome> done);
  JobThread(JobThread&& other) noexcept = default;
  JobThread& operator=(JobThread&& other) noexcept;
  ~JobThread() { StopAndJoin(); }

  // Tells the job to stop; it ends its run as at a stop notification.
  void Stop();
  // Waits for the job's end and its thread; the run's outcome.
  ScanOutcome get();
  // Ready once the job has ended (invalid when no job was started).
  const std::shared_future<ScanOutcome>& done() const { return done_; }
  void StopAndJoin();

 private:
  std::thread thread_;
  std::shared_ptr<std::atomic<bool>> stop_;
  std::shared_future<ScanOutcome> done_;
};

}  // namespace scan
