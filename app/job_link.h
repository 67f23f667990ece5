#pragma once
// The bridge between a scan job's worker thread and the main window: each notification
// runs the window's handler on the GUI thread while the worker waits, as a window
// message sent across threads would.

#include <QObject>
#include <atomic>
#include <string>

#include "scan/scan_job.h"

class TViv050;

class JobLink : public QObject, public ScanWindow {
  Q_OBJECT
 public:
  // Lives on the thread that creates it (the GUI thread), independent of the window, so
  // that a job outliving the window still has someone to answer it.
  explicit JobLink(QObject* parent = nullptr);

  // GUI thread only.
  void set_window(TViv050* window) { window_ = window; }
  // From now on every notification answers "stop" and touches no widget.
  void MarkClosed() { closed_.store(true); }
  bool closed() const { return closed_.load(); }

  // Worker thread (or the GUI thread itself when a job runs in place).
  int32_t OnJobNotify(TDskFil& job, uint32_t wparam, uint32_t lparam) override;
  std::string WindowName() const override { return "Viv050"; }

 signals:
  // After the window has handled a notification, still inside it: the worker waits for
  // every slot connected here.
  void notified(int code);

 private:
  // On the GUI thread: the window's handler, then the signal. True when the job must stop.
  bool Handle(TDskFil& job, int16_t code);

  std::atomic<bool> closed_{false};
  TViv050* window_ = nullptr;
};
