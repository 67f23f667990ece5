#pragma once
// Holds reading to a rate by sleeping between reads: each read is told after it ends,
// and the next one waits until the bytes so far fit the rate since the start. A read
// late by more than a second (the disk slower than the rate) moves the start on, so
// the time lost is never made up in a burst.

#include <cstdint>
#include <functional>
#include <mutex>

namespace scrub {

class RateCap {
 public:
  // `bytes_per_second` 0: no cap. `now_ns` is a monotonic clock; `sleep_ns` waits.
  // Both default to the system's. The rate is measured from now on.
  explicit RateCap(uint64_t bytes_per_second, std::function<int64_t()> now_ns = nullptr,
                   std::function<void(int64_t)> sleep_ns = nullptr);
  // Counts `bytes` read and waits as long as the rate asks. Any thread: readers that
  // share the cap share the rate.
  void Took(uint64_t bytes);
  uint64_t rate() const { return rate_; }

 private:
  uint64_t rate_;
  std::function<int64_t()> now_ns_;
  std::function<void(int64_t)> sleep_ns_;
  std::mutex mutex_;
  int64_t start_ns_;  // under mutex_
  double bytes_ = 0;  // since start_ns_, under mutex_
};

}  // namespace scrub
