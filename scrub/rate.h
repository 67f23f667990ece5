#pragma once
// Holds reading to a rate by sleeping between reads: each read is told after it ends,
// and the next one waits until the bytes so far fit the rate since the start, all the
// time between reads counted (opening, flushing, dropping the cache): a file's own cost
// is absorbed by the wait, not added to it. Reads that fall behind (a slow disk, a busy
// processor) catch up a little faster than the rate, never in a burst, and at most
// kMostBehindNs of them is made up.

#include <cstdint>
#include <functional>
#include <mutex>

namespace scrub {

// How far behind the rate the reads may be and still catch up, and how much faster than
// the rate they then go: a catch-up never passes the rate by more than this share over
// any stretch of time, beyond one read and kCatchUpSlackNs of it.
constexpr int64_t kMostBehindNs = 10'000'000'000;
constexpr double kCatchUpShare = 0.04;
constexpr int64_t kCatchUpSlackNs = 100'000'000;

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
  int64_t start_ns_;     // under mutex_
  double bytes_ = 0;     // since start_ns_, under mutex_
  int64_t fast_ns_ = 0;  // when the reads so far end at the catch-up's pace, under mutex_
};

}  // namespace scrub
