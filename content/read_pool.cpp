#include "content/read_pool.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <utility>

#include "platform/clock.h"
#include "platform/files.h"

namespace content {

namespace {

// How often a waiting writer looks at the stop flag, which is set without the lock.
constexpr auto kStopPoll = std::chrono::milliseconds(10);

// Worse outcomes of a part win over better ones; among equals the earliest part wins,
// as a reader going through the file from its start would meet it first.
int Severity(uint8_t code) {
  switch (code) {
    case kChkOk:
      return 0;
    case kChkStopped:
      return 2;
    default:
      return 1;
  }
}

}  // namespace

ReadResult ReadListedFile(const ReadRequest& request, LentBuffer buffer, StopTest stop) {
  ReadResult result;
  result.code = FileChkListed(*request.dir, request.name, request.listed, buffer, stop, &result.id,
                              &result.first, &result.error, request.cache, &result.from_cache,
                              &result.from_memory);
  return result;
}

// A large file whose parts several readers fold. The file is opened once, by the reader
// that claimed it; the last part to end hands the result over.
struct ReadPool::Split {
  size_t seq = 0;
  platform::File file;
  ListedFile listed;
  CacheUse cache = CacheUse::kKeep;
  bool drop_after = false;   // set before its parts are handed out
  bool from_memory = false;  // the same
  uint64_t size = 0;
  size_t parts = 0;
  size_t next_part = 0;   // under the pool's lock
  size_t parts_done = 0;  // under the pool's lock
  FoldState state;        // under the pool's lock
  uint8_t code = kChkOk;  // under the pool's lock
  size_t code_part = 0;
};

ReadPool::ReadPool(int readers, LentBuffer buffer, const std::atomic<bool>* stop,
                   std::unique_ptr<ReaderControl> control)
    : stop_(stop),
      slices_(buffer, static_cast<size_t>(std::clamp(readers, 2, 64))),
      slots_(kReadAheadFiles),
      control_(std::move(control)) {
  const size_t count = slices_.readers();
  active_ = control_ != nullptr ? std::min(control_->readers(), static_cast<int32_t>(count))
                                : static_cast<int32_t>(count);
  most_ = seen_most_ = seen_active_ = active_;
  // A reader begins a file only when no part of another is left to begin.
  splits_.reserve(count);
  try {
    for (size_t i = 0; i < count; ++i) threads_.emplace_back([this, i] { Run(i); });
  } catch (...) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    work_.notify_all();
    idle_.notify_all();
    slices_.WakeAll();
    for (std::thread& thread : threads_) thread.join();
    throw;
  }
}

ReadPool::~ReadPool() {
  cancel_.store(true, std::memory_order_relaxed);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  work_.notify_all();
  idle_.notify_all();
  slices_.WakeAll();
  for (std::thread& thread : threads_) thread.join();
}

bool ReadPool::HasRoom(uint64_t size) const {
  if (pushed_ == taken_) return true;
  return pushed_ - taken_ < kReadAheadFiles && bytes_ahead_ + size <= kReadAheadBytes;
}

void ReadPool::Push(const ReadRequest& request) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Slot& slot = slots_[pushed_ % kReadAheadFiles];
    slot.request = request;
    slot.result = ReadResult();
    slot.done = false;
    ++pushed_;
  }
  bytes_ahead_ += request.listed.size;
  work_.notify_one();
}

ReadResult ReadPool::Take() {
  ReadResult result;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    Slot& slot = slots_[taken_ % kReadAheadFiles];
    if (!slot.done) wanted_ = std::min(taken_ + kTakeBatch, pushed_);
    while (!slot.done) {
      if (stop_ != nullptr && stop_->load(std::memory_order_relaxed)) return ReadResult();
      done_.wait_for(lock, kStopPoll);
    }
    wanted_ = 0;
    seen_active_ = active_;
    seen_most_ = most_;
    result = slot.result;
    bytes_ahead_ -= slot.request.listed.size;
    ++taken_;
  }
  if (stop_ != nullptr && stop_->load(std::memory_order_relaxed)) result.code = kChkStopped;
  return result;
}

bool ReadPool::FindWork(std::shared_ptr<Split>* split, size_t* part, size_t* seq) {
  // Parts of a file already begun come first: the writer waits for it, or will soon.
  while (!splits_.empty()) {
    std::shared_ptr<Split>& first = splits_.front();
    if (first->next_part < first->parts) {
      *split = first;
      *part = first->next_part++;
      if (first->next_part == first->parts) splits_.erase(splits_.begin());
      return true;
    }
    splits_.erase(splits_.begin());
  }
  if (claimed_ < pushed_) {
    *seq = claimed_++;
    split->reset();
    return true;
  }
  return false;
}

void ReadPool::Run(size_t reader) {
  const StopTest stop{stop_, &cancel_};
  for (;;) {
    std::shared_ptr<Split> split;
    size_t part = 0;
    size_t seq = 0;
    LentBuffer buffer;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      slices_.Release(reader);
      const auto idle = [&] { return static_cast<int32_t>(reader) >= active_; };
      for (;;) {
        if (quit_) return;
        // Readers beyond the count in use wait apart; what they began, they finished.
        if (idle()) {
          idle_.wait(lock);
          continue;
        }
        // Just after the count rose, the others may still hold the larger shares of
        // the lower count; each gives its share back after its piece of work.
        if (!slices_.Free()) {
          slices_.WaitForSlice(lock);
          continue;
        }
        if (FindWork(&split, &part, &seq)) break;
        work_.wait(lock);
        // Woken for work after the count fell below it: the wake-up is another's.
        if (idle()) work_.notify_one();
      }
      buffer = slices_.Lease(reader, active_);
    }
    if (split != nullptr) {
      FoldPart(split, part, buffer);
      continue;
    }
    const ReadRequest request = [&] {
      std::lock_guard<std::mutex> lock(mutex_);
      return slots_[seq % kReadAheadFiles].request;
    }();
    if (request.listed.size < kSplitParts * kReadPartBytes || stop()) {
      ReadWhole(seq, buffer);
      continue;
    }
    std::shared_ptr<Split> big;
    try {
      big = std::make_shared<Split>();
    } catch (const std::bad_alloc&) {
      // No memory to share it: this reader reads it alone.
      ReadWhole(seq, buffer);
      continue;
    }
    big->seq = seq;
    big->listed = request.listed;
    big->cache = request.cache;
    big->size = request.listed.size;
    big->parts = static_cast<size_t>((big->size + kReadPartBytes - 1) / kReadPartBytes);
    ReadResult opened;
    opened.code = OpenListedFile(*request.dir, request.name, &big->file, &opened.error);
    // A file changed since the walk is not read at all.
    if (opened.code == kChkOk) opened.code = CheckListedFile(big->file, big->listed);
    if (opened.code == kChkOk) {
      opened.code = PrepareListedRead(big->file, big->size, big->cache, &big->drop_after,
                                      &opened.error, &big->from_memory);
    }
    if (opened.code != kChkOk) {
      Finish(seq, opened);
      continue;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      big->next_part = 1;
      splits_.push_back(big);  // never more than one per reader: room was made at the start
    }
    work_.notify_all();
    FoldPart(big, 0, buffer);
  }
}

void ReadPool::ReadWhole(size_t seq, LentBuffer buffer) {
  ReadRequest request;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    request = slots_[seq % kReadAheadFiles].request;
  }
  Finish(seq, ReadListedFile(request, buffer, StopTest{stop_, &cancel_}));
}

void ReadPool::FoldPart(const std::shared_ptr<Split>& split, size_t part, LentBuffer buffer) {
  const uint64_t offset = part * kReadPartBytes;
  const uint64_t length = std::min(kReadPartBytes, split->size - offset);
  FoldState state;
  const uint8_t code =
      FoldFileRange(split->file, offset, length, buffer, StopTest{stop_, &cancel_}, &state);
  ReadResult result;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Count(length, ReadFromCache(split->cache, split->size, split->drop_after));
    FoldCombine(state, &split->state);
    if (Severity(code) > Severity(split->code) ||
        (code != kChkOk && Severity(code) == Severity(split->code) && part < split->code_part)) {
      split->code = code;
      split->code_part = part;
    }
    if (++split->parts_done < split->parts) return;
    result.code = split->code;
  }
  // The last part to end: was the file written to while its parts were read?
  if (result.code == kChkOk) result.code = CheckListedFile(split->file, split->listed);
  if (result.code == kChkOk) result.id = FoldResult(split->state);
  result.from_memory = split->from_memory;
  EndListedRead(split->file, split->drop_after);
  split->file.Close();
  Finish(split->seq, result);
}

void ReadPool::Finish(size_t seq, const ReadResult& result) {
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Slot& slot = slots_[seq % kReadAheadFiles];
    slot.result = result;
    slot.done = true;
    // A split file's bytes were counted part by part.
    if (slot.request.listed.size < kSplitParts * kReadPartBytes) {
      Count(slot.request.listed.size, result.from_cache);
    }
    while (ready_ < pushed_ && slots_[ready_ % kReadAheadFiles].done) ++ready_;
    wake = wanted_ != 0 && ready_ >= wanted_;
  }
  if (wake) done_.notify_one();
}

void ReadPool::Count(uint64_t bytes, bool from_cache) {
  if (control_ == nullptr) return;
  bytes_read_ += bytes;
  if (from_cache) cached_read_ += bytes;
  const int32_t wanted =
      std::clamp(control_->Step(platform::TickCount(), bytes_read_, cached_read_), 1,
                 static_cast<int32_t>(slices_.readers()));
  const bool more = wanted > active_;
  active_ = wanted;
  most_ = std::max(most_, active_);
  if (more) idle_.notify_all();
}

}  // namespace content
