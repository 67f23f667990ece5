#include "content/reader_control.h"

#include <algorithm>

namespace content {

namespace {

bool Faster(double rate, double than, int percent) { return rate > than * (1 + percent / 100.0); }

}  // namespace

ReaderControl::ReaderControl(int32_t start, int32_t cores, int32_t most)
    : most_(std::max(most, 1)),
      cores_(std::clamp(cores, 1, most_)),
      settled_(std::clamp(start, 1, most_)),
      current_(settled_) {}

// Reads end a whole file or a part at a time, so a window must span many of them (and
// several of the device's requests) before its rate means anything; it stays short so
// that a search costs little of a run of a few seconds.
int32_t ReaderControl::Step(uint32_t now_ms, uint64_t bytes_done, uint64_t cached_done) {
  const uint32_t elapsed = now_ms - window_ms_;
  const uint64_t bytes = bytes_done - window_bytes_;
  const uint64_t cached = cached_done - window_cached_;
  const uint64_t device = bytes > cached ? bytes - cached : 0;
  if (!started_) {
    started_ = true;
  } else if (bytes >= kControlWindowBytes && device <= bytes / kControlDeviceShare) {
    // Memory answers in a fraction of a window: decided at once.
    FromMemory();
  } else if (elapsed < kControlWindowMs ||
             (bytes < kControlWindowBytes && elapsed < kControlWindowMaxMs)) {
    return current_;
  } else {
    Decide(static_cast<double>(bytes) * 1000.0 / elapsed);
  }
  window_ms_ = now_ms;
  window_bytes_ = bytes_done;
  window_cached_ = cached_done;
  return current_;
}

void ReaderControl::FromMemory() {
  probing_ = false;
  settled_ = current_ = cores_;
  // The next window from the device starts a search from here.
  base_ = 0;
  leap_ = true;
  climbed_ = false;
  wait_ = 0;
  gap_ = kControlFirstGap;
}

void ReaderControl::Decide(double rate) {
  if (probing_) {
    if (Faster(rate, base_, kControlGainPercent)) {
      // Go on the same way while it pays.
      climbed_ = current_ > settled_;
      settled_ = current_;
      base_ = rate;
      gap_ = kControlFirstGap;
      const int32_t next = Neighbour(climbed_);
      if (next != settled_) {
        Probe(next);
      } else {
        Hold(true);
      }
      return;
    }
    // Up did not pay; down may, unless that is where the climb came from.
    if (current_ > settled_ && settled_ > 1 && !climbed_) {
      Probe(Neighbour(false));
      return;
    }
    // The search is over: from now on only the neighbours are tried.
    leap_ = false;
    Hold(false);
    return;
  }
  // A change of what is read (small files, then a large one) asks for a new search.
  if (base_ > 0 &&
      (Faster(rate, base_, kControlShiftPercent) || Faster(base_, rate, kControlShiftPercent))) {
    wait_ = 0;
    gap_ = kControlFirstGap;
    climbed_ = false;
    leap_ = true;
  }
  base_ = rate;
  if (wait_ > 0) {
    --wait_;
    return;
  }
  if (settled_ < most_) {
    Probe(Neighbour(true));
  } else if (settled_ > 1 && !climbed_) {
    Probe(Neighbour(false));
  } else {
    wait_ = gap_;
  }
}

// Doubling finds a count among 16 in four windows where stepping would take fifteen.
int32_t ReaderControl::Neighbour(bool up) const {
  const int32_t next = leap_ ? (up ? settled_ * 2 : settled_ / 2) : settled_ + (up ? 1 : -1);
  return std::clamp(next, 1, most_);
}

void ReaderControl::Probe(int32_t count) {
  probing_ = true;
  current_ = count;
}

void ReaderControl::Hold(bool paid) {
  probing_ = false;
  current_ = settled_;
  if (!paid) gap_ = std::min(gap_ * 2, kControlLastGap);
  wait_ = gap_;
}

}  // namespace content
