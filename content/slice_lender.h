#pragma once
// The read pool's shared buffer, cut into one slice per reader and lent out in runs of
// slices: the fewer readers in use, the larger the piece each reads in. Holds no lock of
// its own: every call is made under the pool's lock, which WaitForSlice is given.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "content/content_id.h"

namespace content {

class SliceLender {
 public:
  // Lends `buffer` to `readers` (1 to 64). Without data there is nothing to lend: each
  // reader then reads through its thread's own buffer.
  SliceLender(LentBuffer buffer, size_t readers);

  size_t readers() const { return leased_.size(); }
  // The size of one slice: even, and a multiple of a cache line once it holds two; 0
  // without a buffer.
  uint64_t slice() const { return slice_; }
  // Whether Lease would give something now: always without a buffer.
  bool Free() const;
  // For `reader`, holding nothing: the largest power of two of slices that lets each of
  // `active` readers hold as many, in one run starting at a multiple of its length, or
  // the largest smaller run that is free. Empty without a buffer or without a free slice.
  LentBuffer Lease(size_t reader, int32_t active);
  // Gives back what `reader` holds and wakes the readers waiting for a slice.
  void Release(size_t reader);
  // Waits, with `lock` on the pool's mutex, until a slice may have come back or WakeAll.
  void WaitForSlice(std::unique_lock<std::mutex>& lock) { given_back_.wait(lock); }
  void WakeAll() { given_back_.notify_all(); }

 private:
  struct Leased {
    uint32_t first = 0;
    uint32_t count = 0;
  };

  LentBuffer shared_;
  uint64_t slice_ = 0;
  std::vector<Leased> leased_;  // by reader
  uint64_t free_ = 0;           // a bit per slice
  std::condition_variable given_back_;
};

}  // namespace content
