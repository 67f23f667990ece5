#pragma once
// Run control: sets up and starts the scan job from the Settings page's texts, keeps
// the job of the current run, and the stop request and new interval the window hands
// the job at its next notification. Shows nothing itself: alerts go out as `info`.

#include <QObject>
#include <atomic>
#include <cstdint>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/kit/run_fields.h"
#include "audit/verify_run.h"
#include "catalogue/catalogue_index.h"
#include "scan/scan_job.h"

class JobLink;

// How a verify, a comparison of two lists or a scrub ended.
struct AuditEnd {
  bool verify = false;
  bool scrub = false;
  std::string scrub_line;    // a scrub's last line for the Run page
  uint64_t scrub_files = 0;  // and the files and bytes it read
  uint64_t scrub_bytes = 0;
  std::string title;  // empty: the report's own
  // Null when nothing was compared (`error` says why).
  std::shared_ptr<const audit::AuditResult> result;
  std::string error;
  // Warnings about the lists, and a stopped verify's note.
  std::vector<std::string> notes;
};

class RunControl : public QObject {
  Q_OBJECT
 public:
  // Creates the link the jobs notify; it belongs to the application and outlives us.
  RunControl();
  // Stops and waits for what still runs (see Shutdown).
  ~RunControl() override;

  JobLink* link() const { return link_; }
  // The job of the current run, from its start until its end notification; null else.
  TDskFil* running_job() const { return running_job_; }
  bool JobRunning() const { return running_job_ != nullptr; }
  // Ready when the last job started here has ended (invalid before the first start).
  const std::shared_future<scan::ScanOutcome>& job_done() const { return job_thread_.done(); }

  // Starts a run in `mode` (kModeCreate, kModeContinue); false when none started.
  bool Start(uint8_t mode, const RunFields& fields);
  // Starts a verify of the id list `list`: its job runs as a Create does, notifying the
  // window, into new lists of its own (the list is never written); the comparison follows
  // on a thread of its own and ends in auditEnded. False when none started.
  bool StartVerify(const std::string& list);
  // Compares two id lists on a thread of their own, their paths matched below each list's
  // search path when `relative`; ends in auditEnded. False when a run or another audit
  // is going on.
  bool StartCompare(const std::string& old_list, const std::string& new_list, bool relative);
  // Scrubs the volume of `list` on a thread of its own, reporting in scrubProgress and
  // scrubFound, and ends in auditEnded. False when a run, an audit or a scrub goes on.
  bool StartScrub(const catalogue::CatalogueList& list);
  // A verify, comparison or scrub runs, from its start until auditEnded.
  bool AuditRunning() const { return audit_running_; }
  // The close question asked the comparison to stop; it has not ended yet.
  bool AuditStopping() const { return audit_running_ && audit_stop_.load(); }

  // Sets or withdraws the stop request; true when one is now pending.
  bool ToggleCancel();
  bool StopRequested() const { return stop_request_ != 0; }
  // The interval the next notification hands over; kept in 16 bits, negative is none.
  void SetPendingInterval(int32_t interval);

  // Inside a notification (GUI thread, the job waiting): the stop request and the
  // pending interval go to the job.
  void HandOver(TDskFil& job);
  // After the end notification: the job frees itself. True when a close waits for it
  // (for a verify, the close waits for its comparison).
  bool Forget() {
    running_job_ = nullptr;
    return !audit_running_ && std::exchange(close_at_end_, false);
  }
  // At a verify's or comparison's end: true when a close waits for it.
  bool TakeCloseAtEnd() { return std::exchange(close_at_end_, false); }

  // Whether the window may close now; asks when a job runs.
  bool CloseCheck();
  // The window has closed: a job still running answers "stop" from now on.
  void Close();
  // The window goes: a job that has not ended is told to stop and no longer reaches it;
  // waits for the job's thread and the audit's (events run meanwhile), and no auditEnded
  // follows.
  void Shutdown();

 signals:
  void info(int kind, const std::string& text);
  // The job is about to start; a second start must be refused from here on.
  void starting();
  // The job could not be started after `starting`.
  void startFailed();
  // A verify, comparison or scrub has ended (GUI thread).
  void auditEnded(const AuditEnd& end);
  // A scrub has read `files` files of `bytes`, the last at `path`.
  void scrubProgress(uint64_t files, uint64_t bytes, const std::string& path);
  // A scrub found a problem with the file at `path`.
  void scrubFound(const std::string& path, const std::string& reason);

 private:
  // Checks the fields and the lists and returns the job set up from them, or null
  // after telling why.
  std::unique_ptr<TDskFil> SetUpJob(uint8_t mode, const RunFields& fields);
  // The number fields into `settings`; false after telling which is wrong.
  bool ParseNumbers(const RunFields& fields, scan::RunSettings* settings);
  // Checks the run and makes its folders and backups (scan::CheckRun, PrepareRun);
  // false after telling what is wrong.
  bool Prepare(const scan::RunSettings& settings, const std::string& backup_target);

  // From any thread: hands `end` to `control` on the GUI thread, unless it is gone.
  static void PostEnd(RunControl* control, AuditEnd end);

  JobLink* link_ = nullptr;
  bool audit_running_ = false;
  TDskFil* running_job_ = nullptr;
  // The threads of the last job and the last verify or comparison, joined before the
  // next starts and when the window goes.
  scan::JobThread job_thread_;
  std::thread audit_thread_;
  // Set by the GUI thread, read by the comparison's or scrub's thread between its files.
  std::atomic<bool> audit_stop_{false};
  bool scrubbing_ = false;
  // A progress report waits on the GUI thread; the next is dropped until it is shown.
  std::atomic<bool> progress_posted_{false};
  bool shut_down_ = false;
  uint8_t stop_request_ = 0;
  bool close_at_end_ = false;  // the close was answered Yes during the run
  int16_t pending_interval_ = -1;
};
