#pragma once
// The bridge between a scan job's worker thread and the window: each notification is
// emitted on the GUI thread while the worker waits, as a window message sent across
// threads would. The link knows nobody; whoever shows the run connects to its signals.

#include <QObject>
#include <atomic>
#include <string>

#include "scan/scan_job.h"

class JobLink : public QObject, public scan::ScanWindow {
  Q_OBJECT
 public:
  // Lives on the thread that creates it (the GUI thread), independent of the window, so
  // that a job outliving the window still has someone to answer it.
  explicit JobLink(QObject* parent = nullptr);

  // From now on every notification answers "stop" and touches no widget.
  void MarkClosed() { closed_.store(true); }
  bool closed() const { return closed_.load(); }

  // Worker thread (or the GUI thread itself when a job runs in place).
  int32_t OnJobNotify(TDskFil& job, const scan::JobEvent& event) override;
  std::string WindowName() const override { return "Viv050"; }

 signals:
  // A notification with its code, on the GUI thread while the worker waits: slots may
  // read the job's counters and set its interval or stop flag, and keep no reference.
  void jobNotified(TDskFil& job, int code);
  // After jobNotified, still inside the notification: the worker waits for every slot.
  void notified(int code);

 private:
  // On the GUI thread: both signals. True when the job must stop.
  bool Handle(TDskFil& job, int16_t code);

  std::atomic<bool> closed_{false};
};
