#pragma once
// Chooses how many readers take work while a run reads, from the throughput of the reads
// that ended: twice as many (or half) while that pays by a clear margin, then one more or
// one fewer now and then. A spinning disk loses to parallel reads, a virtual or network disk gains;
// no rule fixed before the run can tell them apart.

#include <cstdint>

namespace content {

// The most readers an automatic run lets take work.
constexpr int32_t kMaxAdaptiveReaders = 16;

// A measurement window lasts at least kControlWindowMs and until kControlWindowBytes have
// been read, but never beyond kControlWindowMaxMs.
constexpr uint32_t kControlWindowMs = 25;
constexpr uint64_t kControlWindowBytes = 2 * 1048576;
constexpr uint32_t kControlWindowMaxMs = 500;
// A count is changed only when it reads this much faster than the one in use.
constexpr int kControlGainPercent = 10;
// A window of which all but this share was read from the page cache is bound by the
// cores, not the device.
constexpr uint64_t kControlDeviceShare = 16;
// At one count, a window this much off the one before means that what is read changed.
constexpr int kControlShiftPercent = 25;
// Windows between tries of a neighbouring count: the first gap, doubled after each try
// that did not pay, up to the last.
constexpr int kControlFirstGap = 2;
constexpr int kControlLastGap = 64;

// Not thread-safe: the read pool calls it under its lock.
class ReaderControl {
 public:
  // Starts at `start`, kept within 1 and `most`; `cores` read from the page cache.
  ReaderControl(int32_t start, int32_t cores, int32_t most = kMaxAdaptiveReaders);

  // Told after each read that ended: `now_ms` from a monotonic millisecond clock (it may
  // wrap), `bytes_done` the bytes of all reads ended so far, `cached_done` those of them
  // known to come from the page cache. Gives the readers that should take work from now
  // on.
  int32_t Step(uint32_t now_ms, uint64_t bytes_done, uint64_t cached_done = 0);

  // The count in use; the count it tries during a probe.
  int32_t readers() const { return current_; }
  // The count it keeps between probes.
  int32_t settled() const { return settled_; }

 private:
  void Decide(double rate);
  // Reads from memory take a reader per core: nothing to measure.
  void FromMemory();
  // The count to try next above or below the settled one.
  int32_t Neighbour(bool up) const;
  void Probe(int32_t count);
  void Hold(bool paid);

  int32_t most_;
  int32_t cores_;
  int32_t settled_;
  int32_t current_;
  bool probing_ = false;
  bool climbed_ = false;  // the last move was up: the count below is known to be slower
  bool started_ = false;
  bool leap_ = true;  // searching afresh: counts are doubled or halved, not stepped
  uint32_t window_ms_ = 0;
  uint64_t window_bytes_ = 0;
  uint64_t window_cached_ = 0;
  double base_ = 0;  // bytes per second at settled_, the last window read there
  int wait_ = 0;     // windows left before the next probe
  int gap_ = kControlFirstGap;
};

}  // namespace content
