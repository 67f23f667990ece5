#include "scan/job_thread.h"

#include <utility>

namespace scan {

JobThread::JobThread(std::thread thread, std::shared_ptr<std::atomic<bool>> stop,
                     std::shared_future<ScanOutcome> done)
    : thread_(std::move(thread)), stop_(std::move(stop)), done_(std::move(done)) {}

JobThread& JobThread::operator=(JobThread&& other) noexcept {
  StopAndJoin();
  thread_ = std::move(other.thread_);
  stop_ = std::move(other.stop_);
  done_ = std::move(other.done_);
  return *this;
}

void JobThread::Stop() {
  if (stop_ != nullptr) stop_->store(true, std::memory_order_relaxed);
}

ScanOutcome JobThread::get() {
  if (thread_.joinable()) thread_.join();
  return done_.get();
}

void JobThread::StopAndJoin() {
  if (!thread_.joinable()) return;
  Stop();
  thread_.join();
}

}  // namespace scan
