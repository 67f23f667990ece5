#pragma once
// The notification record a disk command shares with its window: the codes it sends, the
// window's reply, the timing slots and the stop flag.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scan/run_settings.h"

namespace scan {

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

class TDskFil;

// One notification as a receiver sees it: the fields of the record, decoded, and the two
// parameters a window message carries them in.
struct JobEvent {
  int16_t code = 0;          // bytes 3 and 4 of the record
  uint16_t sender_kind = 0;  // bytes 1 and 2
  uint32_t wparam = 0;
  uint32_t lparam = 0;
};

// The receiver of a job's notifications. OnJobNotify runs on the job's worker thread and
// the job waits for its return, so it may read every counter of the job without locks.
// Inside the call, and only there, it may set the job's screen-update interval and its
// stop flag. A reply below kStopReplyLimit stops the job. After the code 9999 the job is
// gone: keep no reference to it.
class ScanWindow {
 public:
  virtual ~ScanWindow() = default;
  virtual int32_t OnJobNotify(TDskFil& job, const JobEvent& event) = 0;
  // The window's own name; a job created without a name is called this + "_DskFil".
  virtual std::string WindowName() const { return {}; }
};

// What a disk command shares with its window: notification, timing, the live interval.
class cmdDisk {
 public:
  explicit cmdDisk(ScanWindow* window, int16_t interval = scan::kDefaultInterval);
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
  // Milliseconds between progress notifications; the window may change it inside one.
  int16_t interval() const { return interval_; }
  void set_interval(int16_t interval) { interval_ = interval; }

  // Day serials (local time); 0 until set.
  double begin_time() const { return begin_time_; }
  double end_time() const { return end_time_; }
  int32_t last_reply() const { return last_reply_; }
  // The 8-byte notification record.
  const uint8_t* record() const { return record_; }
  JobEvent event() const;

 protected:
  void set_sender_kind(uint16_t kind);
  // Hands the notification to the window and returns its reply.
  virtual int32_t SendToWindow(const JobEvent& event) = 0;

  double begin_time_ = 0;
  double end_time_ = 0;

 private:
  ScanWindow* window_ = nullptr;
  uint8_t record_[8] = {};
  int32_t last_reply_ = 0;
  int16_t interval_;
  std::vector<int32_t> slots_;
  std::shared_ptr<std::atomic<bool>> stop_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace scan
