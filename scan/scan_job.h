#pragma once
// The scan job: gathers the directories under a search path into the tree list, then
// computes the content id of every file and writes the id list. It runs once on its own
// worker thread and reports its phases and progress to a window through synchronous
// notifications; the window's reply is the only way back into the job.
//
// Lifecycle: create the job (it starts suspended), configure it, then hand it to
// TDskFil::Start, which moves it onto its thread. From then on the job belongs to its
// thread: it frees itself after its last notification (9999), and the creator may touch
// it only inside ScanWindow::OnJobNotify. The future returned by Start outlives the job
// and tells how the run ended.

#include <atomic>
#include <cstdint>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fs/dir_iter.h"
#include "scan/run_settings.h"
#include "support/string_list.h"

// The window message of a notification.
constexpr uint32_t kJobMessage = 0x1008;

// Notification codes.
constexpr int16_t kNotifyStart = 9000;
constexpr int16_t kNotifyGather = 1;  // the directory gathering begins
constexpr int16_t kNotifySort = 2;    // directories gathered; sorting and list preparation
constexpr int16_t kNotifyScan = 3;    // the file scan begins
constexpr int16_t kNotifyProgress = 9080;
constexpr int16_t kNotifyEnd = 9999;

// A reply below this value stops the job.
constexpr int32_t kStopReplyLimit = -9;
// What a window replies to stop the job.
constexpr int32_t kStopReply = -10;

// The most reader threads an automatic choice starts with.
constexpr int32_t kMaxAutoReaders = 8;

// Sender kind in the notification record once the scan has started.
constexpr uint16_t kSenderScan = 2;


// Timing slots.
constexpr int kSlotJobStart = 0;
constexpr int kSlotScanLoop = 1;
constexpr int kSlotDirectory = 2;
constexpr int kSlotDirectoryFiles = 3;
constexpr int kSlotFileStart = 5;
constexpr int kSlotFileEnd = 6;
constexpr int kSlotScanEnd = 10;
constexpr int kSlotCount = 256;

constexpr char kScanMessageCaption[] = "Scandisk";
constexpr char kNoBufferMessage[] = "Failed to allocate memory buffer";

class TDskFil;

// The receiver of a job's notifications. OnJobNotify runs on the job's worker thread and
// the job waits for its return, so it may read every counter of the job without locks.
// Inside the call, and only there, it may set the job's screen-update interval and its
// stop flag. A reply below kStopReplyLimit stops the job. After the code 9999 the job is
// gone: keep no reference to it.
class ScanWindow {
 public:
  virtual ~ScanWindow() = default;
  virtual int32_t OnJobNotify(TDskFil& job, uint32_t wparam, uint32_t lparam) = 0;
  // The window's own name; a job created without a name is called this + "_DskFil".
  virtual std::string WindowName() const { return {}; }
};

// The code carried by a notification's parameters (bytes 3 and 4 of the record).
inline int16_t NotifyCode(uint32_t wparam, uint32_t lparam) {
  return static_cast<int16_t>((wparam >> 24) | ((lparam & 0xFF) << 8));
}

// What a disk command shares with its window: notification, timing, buffer limits.
class cmdDisk {
 public:
  explicit cmdDisk(ScanWindow* window);
  virtual ~cmdDisk();
  cmdDisk(const cmdDisk&) = delete;
  cmdDisk& operator=(const cmdDisk&) = delete;

  // Without a window: returns the stop flag and sends nothing. Otherwise stores the code
  // in the record, calls the window and waits, keeps its reply, sets the stop flag when
  // the reply is below kStopReplyLimit and returns the stop flag.
  bool Notify(int16_t code);

  // Slots 0 to 255 hold tick counts; -1 for a slot never set.
  int32_t GetSlot(int slot) const;
  // Milliseconds since the job started (its start slot).
  uint32_t ElapsedMs() const;
  void SetSlot(int slot, int32_t ticks);

  // The stop flag, safe from any thread (a stop signal, a window closing). The job tests
  // it after each notification, between files and directories and between the buffers
  // of one file, so it takes effect within one buffer of reading.
  void Terminate() { stop_->store(true, std::memory_order_relaxed); }
  bool Terminated() const { return stop_->load(std::memory_order_relaxed); }
  // The same flag, shared: it outlives the job, so a creator may set it at any time,
  // also after the job has freed itself.
  std::shared_ptr<std::atomic<bool>> StopFlag() const { return stop_; }

  // Before Start only (or inside a notification): a job without a window notifies nobody.
  void set_window(ScanWindow* window) { window_ = window; }
  ScanWindow* window() const { return window_; }

  uint8_t mode() const { return mode_; }
  void set_mode(uint8_t mode) { mode_ = mode; }
  int16_t interval() const { return interval_; }
  void set_interval(int16_t interval) { interval_ = interval; }
  int32_t buffer_percent() const { return buffer_percent_; }
  void set_buffer_percent(int32_t percent) { buffer_percent_ = percent; }
  int32_t buffer_max() const { return buffer_max_; }
  void set_buffer_max(int32_t bytes) { buffer_max_ = bytes; }

  // Day serials (local time); 0 until set.
  double begin_time() const { return begin_time_; }
  double end_time() const { return end_time_; }
  int32_t last_reply() const { return last_reply_; }
  // The 8-byte notification record and the parameters it gives.
  const uint8_t* record() const { return record_; }
  uint32_t wparam() const;
  uint32_t lparam() const;

 protected:
  void set_sender_kind(uint16_t kind);
  // Hands the notification to the window and returns its reply.
  virtual int32_t SendToWindow(uint32_t wparam, uint32_t lparam) = 0;

  ScanWindow* window_ = nullptr;
  uint8_t mode_ = 0;
  uint8_t record_[8] = {};
  int32_t last_reply_ = 0;
  int16_t interval_ = scan::kDefaultInterval;
  double begin_time_ = 0;
  double end_time_ = 0;
  std::vector<int32_t> slots_;
  int32_t buffer_percent_ = scan::kDefaultBufferPercent;
  int32_t buffer_max_ = scan::kDefaultBufferMax;

 private:
  std::shared_ptr<std::atomic<bool>> stop_ = std::make_shared<std::atomic<bool>>(false);
};

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
constexpr char kNameBreaksLine[] = "the name holds a line break; the list shows it as \"?\"";
constexpr char kDirectoryBreaksLine[] =
    "its directory's name holds a line break; the list shows it as \"?\"";

// Why a folder is not in the lists: "left out by the parameters (/EP temp)".
std::string LeftOutReason(const LeftOutDir& dir);

// How a run ended, for the creator; filled when the job has ended.
struct ScanOutcome {
  bool scanned = false;          // the scan ran (it was not stopped before it began)
  bool finished = false;         // every directory was scanned ("F" in the header)
  bool stopped = false;          // stopped early (never together with finished)
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
  std::vector<LeftOutDir> left_out;
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

// The file scan job.
class TDskFil : public cmdDisk {
 public:
  // job_name empty: "DskFil" without a window, else the window's name + "_DskFil". The
  // job starts suspended.
  TDskFil(ScanWindow* window, const std::string& job_name, const std::string& search_path);
  // A job of these settings; an empty job name is made as above.
  TDskFil(ScanWindow* window, scan::RunSettings settings);
  ~TDskFil() override;

  // Moves the job onto its own thread, owned by the JobThread returned, and starts it.
  // The job frees itself when its run ends; done() becomes ready after that. A job that
  // was told to stop (and given no window) before Start runs straight to its end without
  // scanning. Throws std::system_error when no thread can be created; the job is freed then.
  static JobThread Start(std::unique_ptr<TDskFil> job);

  // Configuration: before Start only. The settings as given; the mode, interval and
  // buffer limits live on in cmdDisk, where the window may change the interval.
  const scan::RunSettings& settings() const { return settings_; }
  const std::string& job_name() const { return settings_.job_name; }
  void set_job_name(const std::string& name) { settings_.job_name = name; }
  const std::string& search_path() const { return settings_.search_path; }
  void set_search_path(const std::string& path) { settings_.search_path = path; }
  const std::string& tree_list_file() const { return settings_.tree_list; }
  void set_tree_list_file(const std::string& file) { settings_.tree_list = file; }
  const std::string& id_list_file() const { return settings_.id_list; }
  void set_id_list_file(const std::string& file) { settings_.id_list = file; }
  const std::string& backup_folder() const { return settings_.backup_folder; }
  const std::string& volume_list_folder() const { return settings_.volume_list_folder; }
  uint8_t options() const { return settings_.options; }
  void set_options(uint8_t options) { settings_.options = options; }
  int32_t expand() const { return settings_.expand; }
  void set_expand(int32_t bytes) { settings_.expand = bytes; }
  const std::string& volume_label() const { return settings_.volume_label; }
  void set_volume_label(const std::string& label) { settings_.volume_label = label; }
  uint32_t volume_serial() const { return settings_.volume_serial; }
  void set_volume_serial(uint32_t serial) { settings_.volume_serial = serial; }
  const std::string& dir_params() const { return settings_.dir_params; }
  void set_dir_params(const std::string& params) { settings_.dir_params = params; }
  const std::string& file_params() const { return settings_.file_params; }
  void set_file_params(const std::string& params) { settings_.file_params = params; }
  uint16_t min_blocks() const { return settings_.min_blocks; }
  void set_min_blocks(uint16_t blocks) { settings_.min_blocks = blocks; }
  // Threads that read files: 1 reads on the job's own thread; more read ahead of it (the
  // lists and notifications stay those of one reader); 0 chooses: it starts from the
  // processor's cores, at most kMaxAutoReaders, but 1 when the search path lies on a
  // spinning disk, and then follows the throughput of the reads, from 1 to
  // scan::kMaxAdaptiveReaders.
  int32_t threads() const { return settings_.threads; }
  void set_threads(int32_t threads) { settings_.threads = threads; }
  // Whether the walk enters directories on other file systems than the search path's
  // (pseudo file systems such as proc and sysfs never); false: they are listed in the tree
  // list but not entered.
  bool cross_mounts() const { return settings_.cross_mounts; }
  void set_cross_mounts(bool cross) { settings_.cross_mounts = cross; }

  // Counters, read by the window during a notification.
  int32_t dir_index() const { return dir_index_; }
  int32_t last_dir_index() const { return last_dir_index_; }
  int32_t file_index() const { return file_index_; }
  int32_t last_file_index() const { return last_file_index_; }
  int32_t error_count() const { return error_count_; }
  int32_t files_done() const { return files_done_; }
  int64_t total_bytes() const { return total_bytes_; }
  int64_t bytes_done() const { return bytes_done_; }
  int64_t dir_bytes() const { return dir_bytes_; }
  int64_t dir_bytes_done() const { return dir_bytes_done_; }
  int32_t buffer_size() const { return buffer_size_; }
  // Threads reading files in this run (and looking files up while the directories are
  // gathered); 0 until the lists are held, after code 1. Chosen (threads 0), it may change
  // from file to file; readers_most() is the most so far.
  int32_t readers() const { return readers_; }
  int32_t readers_most() const { return readers_most_; }
  const std::string& current_dir() const { return current_dir_; }
  const std::string& current_file() const { return current_file_; }
  uint64_t dir_id_sum() const { return dir_id_sum_; }
  uint64_t run_id_sum() const { return run_id_sum_; }
  const support::StringList& dir_list() const { return dir_list_; }
  // Directories not read and files that changed while read, so far.
  const std::vector<ScanProblem>& problems() const { return problems_; }
  // Folders the directory parameters left out, so far, in the order the walk met them.
  const std::vector<LeftOutDir>& left_out() const { return left_out_; }
  // Why the scan ended abnormally; empty otherwise.
  const std::string& failure() const { return failure_; }
  // Every directory was scanned; known at the end notification ("F" in the header).
  bool finished() const { return finished_; }

  // The thread body: start notification, the scan, end notification. Public so that
  // tests can run a job on the calling thread; Start is the normal way.
  void Execute();

 private:
  class Scanner;
  friend class Scanner;

  int32_t SendToWindow(uint32_t wparam, uint32_t lparam) override;
  void Scan();
  // Runs Execute and turns anything that escapes it into a failed run.
  void RunGuarded() noexcept;
  // Inside a catch block: keeps the text of what escaped as the failure.
  void NoteFailure() noexcept;
  ScanOutcome Outcome() const;

  scan::RunSettings settings_;

  THddRun run_;
  int32_t dir_index_ = 0;
  int32_t last_dir_index_ = 0;
  int32_t file_index_ = 0;
  int32_t last_file_index_ = 0;
  int32_t error_count_ = 0;
  int32_t files_done_ = 0;
  int64_t total_bytes_ = 0;
  int64_t bytes_done_ = 0;
  int64_t dir_bytes_ = 0;
  int64_t dir_bytes_done_ = 0;
  int32_t buffer_size_ = 0;
  int32_t readers_ = 0;
  int32_t readers_most_ = 0;
  std::string current_dir_;
  std::string current_file_;
  uint64_t dir_id_sum_ = 0;
  uint64_t run_id_sum_ = 0;
  support::StringList dir_list_;
  support::StringList scratch_list_;

  std::vector<ScanProblem> problems_;
  std::vector<std::string> other_volumes_;  // may name one twice
  std::vector<LeftOutDir> left_out_;
  bool scanned_ = false;
  bool finished_ = false;
  bool nothing_left_ = false;
  bool refused_ = false;
  bool header_written_ = false;
  bool end_sent_ = false;
  std::string failure_;
};
