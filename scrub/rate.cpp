#include "scrub/rate.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace scrub {

namespace {

constexpr int64_t kSecondNs = 1000000000;

int64_t SteadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void SleepNs(int64_t ns) { std::this_thread::sleep_for(std::chrono::nanoseconds(ns)); }

}  // namespace

RateCap::RateCap(uint64_t bytes_per_second, std::function<int64_t()> now_ns,
                 std::function<void(int64_t)> sleep_ns)
    : rate_(bytes_per_second),
      now_ns_(now_ns ? std::move(now_ns) : SteadyNs),
      sleep_ns_(sleep_ns ? std::move(sleep_ns) : SleepNs),
      start_ns_(now_ns_()) {}

void RateCap::Took(uint64_t bytes) {
  if (rate_ == 0) return;
  int64_t wait = 0;
  {
    const std::lock_guard lock(mutex_);
    const int64_t now = now_ns_();
    const double rate = static_cast<double>(rate_);
    bytes_ += static_cast<double>(bytes);
    int64_t due = start_ns_ + static_cast<int64_t>(bytes_ * kSecondNs / rate);
    if (now - due > kMostBehindNs) {
      // What is further behind than this is let go.
      start_ns_ += now - due - kMostBehindNs;
      due = now - kMostBehindNs;
    }
    // Behind or not, the reads never go faster than the catch-up's pace.
    fast_ns_ =
        std::max(fast_ns_, now - kCatchUpSlackNs) +
        static_cast<int64_t>(static_cast<double>(bytes) * kSecondNs / (rate * (1 + kCatchUpShare)));
    wait = std::max(due, fast_ns_) - now;
  }
  // Each reader waits for its own bytes' turn; the others go on meanwhile.
  if (wait > 0) sleep_ns_(wait);
}

}  // namespace scrub
