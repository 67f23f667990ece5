#include "scan/reader_control.h"

#include <algorithm>

namespace scan {

namespace {

bool Faster(double rate, double than, int percent) { return rate > than * (1 + percent / 100.0); }

}  // namespace

ReaderControl::ReaderControl(int32_t start, int32_t most)
    : most_(std::max(most, 1)), settled_(std::clamp(start, 1, most_)), current_(settled_) {}

// Reads end a whole file or a part at a time, so a window must span many of them (and
// several of the device's requests) before its rate means anything; it stays short so
// that a climb from 1 to 8 takes about a second.
int32_t ReaderControl::Step(uint32_t now_ms, uint64_t bytes_done) {
  if (!started_) {
    started_ = true;
    window_ms_ = now_ms;
    window_bytes_ = bytes_done;
    return current_;
  }
  const uint32_t elapsed = now_ms - window_ms_;
  const uint64_t bytes = bytes_done - window_bytes_;
  if (elapsed < kControlWindowMs) return current_;
  if (bytes < kControlWindowBytes && elapsed < kControlWindowMaxMs) return current_;
  window_ms_ = now_ms;
  window_bytes_ = bytes_done;
  Decide(static_cast<double>(bytes) * 1000.0 / elapsed);
  return current_;
}

void ReaderControl::Decide(double rate) {
  if (probing_) {
    if (Faster(rate, base_, kControlGainPercent)) {
      // Go on the same way while it pays.
      const int32_t step = current_ - settled_;
      climbed_ = step > 0;
      settled_ = current_;
      base_ = rate;
      gap_ = kControlFirstGap;
      const int32_t next = settled_ + step;
      if (next >= 1 && next <= most_) {
        Probe(next);
      } else {
        Hold(true);
      }
      return;
    }
    // Up did not pay; down may, unless that is where the climb came from.
    if (current_ > settled_ && settled_ > 1 && !climbed_) {
      Probe(settled_ - 1);
      return;
    }
    Hold(false);
    return;
  }
  // A change of what is read (small files, then a large one) asks for a new look.
  if (base_ > 0 &&
      (Faster(rate, base_, kControlShiftPercent) || Faster(base_, rate, kControlShiftPercent))) {
    wait_ = 0;
    gap_ = kControlFirstGap;
    climbed_ = false;
  }
  base_ = rate;
  if (wait_ > 0) {
    --wait_;
    return;
  }
  if (settled_ < most_) {
    Probe(settled_ + 1);
  } else if (settled_ > 1 && !climbed_) {
    Probe(settled_ - 1);
  } else {
    wait_ = gap_;
  }
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

}  // namespace scan
