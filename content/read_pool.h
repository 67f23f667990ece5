#pragma once
// Reader threads that read and fold the files of a run ahead of the one thread that
// writes their lines, and hand the results back in the order the files were given.
// A large file is cut into parts that several readers fold at once.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "content/content_id.h"
#include "content/fold.h"
#include "content/reader_control.h"
#include "content/slice_lender.h"

namespace platform {
class DirHandle;
}

namespace content {

// Most files and bytes handed over and not yet taken back; the first file is always
// taken, however large.
constexpr size_t kReadAheadFiles = 1024;
constexpr uint64_t kReadAheadBytes = 64 * 1048576;
// A writer that finds its next result missing sleeps until this many in a row are done,
// or all it handed over: waking it for every small file costs more than reading it.
constexpr size_t kTakeBatch = 32;
// Files of at least kSplitParts parts are folded in parts of this size (even), which
// several readers fold at once.
constexpr uint64_t kReadPartBytes = 1048576;
constexpr uint64_t kSplitParts = 4;

// One file to read. The directory and the name must stay valid until its result has
// been taken.
struct ReadRequest {
  const platform::DirHandle* dir = nullptr;
  std::string_view name;
  ListedFile listed;
  CacheUse cache = CacheUse::kKeep;
};

// What FileChkListed gave for one file.
struct ReadResult {
  uint8_t code = kChkStopped;
  uint32_t id = 0;
  FirstBytes first;
  std::string error;  // the system's text when it could not be opened or read
  bool from_cache = false;
  // Read from memory, not the device it was to be read from (FileChkListed).
  bool from_memory = false;
};

// Reads one file on the calling thread.
ReadResult ReadListedFile(const ReadRequest& request, LentBuffer buffer, StopTest stop);

class ReadPool {
 public:
  // `readers` threads (2 or more, at most 64) share `buffer`: each reads through slices
  // of it that no other reader holds, as many as the count in use leaves it, so the
  // buffer bounds them all and few readers read in large pieces; without data each uses
  // its thread's own buffer.
  // `stop` ends every read at its next buffer. With `control`, only as many threads as
  // it chooses take work, and it is told of every read that ends. Throws
  // std::system_error when no thread can be started.
  ReadPool(int readers, LentBuffer buffer, const std::atomic<bool>* stop,
           std::unique_ptr<ReaderControl> control = nullptr);
  // Gives up what is being read and waits for the readers to end.
  ~ReadPool();
  ReadPool(const ReadPool&) = delete;
  ReadPool& operator=(const ReadPool&) = delete;

  // Whether a file of `size` bytes may be handed over now.
  bool HasRoom(uint64_t size) const;
  // Hands over the next file.
  void Push(const ReadRequest& request);
  // Whether a file handed over waits to be taken.
  bool Pending() const { return pushed_ != taken_; }
  // The result of the oldest file not yet taken; waits for it. kChkStopped once the
  // stop flag is set (the result may then be any, and must not be listed).
  ReadResult Take();
  // The readers taking work when the last result was taken, and the most that took work
  // at once so far.
  int32_t active_readers() const { return seen_active_; }
  int32_t most_readers() const { return seen_most_; }

 private:
  struct Split;
  struct Slot {
    ReadRequest request;
    ReadResult result;
    bool done = false;
  };

  void Run(size_t reader);
  // With the lock held: a part of a split file to fold, or the next file to claim.
  bool FindWork(std::shared_ptr<Split>* split, size_t* part, size_t* seq);
  void FoldPart(const std::shared_ptr<Split>& split, size_t part, LentBuffer buffer);
  void ReadWhole(size_t seq, LentBuffer buffer);
  void Finish(size_t seq, const ReadResult& result);
  // With the lock held: `bytes` more were read, from the page cache or not; the control
  // may change the count.
  void Count(uint64_t bytes, bool from_cache);

  const std::atomic<bool>* stop_;
  std::atomic<bool> cancel_{false};
  SliceLender slices_;  // under the lock
  std::vector<std::thread> threads_;

  mutable std::mutex mutex_;
  std::condition_variable work_;
  std::condition_variable idle_;  // readers beyond the count in use
  std::condition_variable done_;
  std::vector<Slot> slots_;  // a ring of kReadAheadFiles
  size_t pushed_ = 0;        // files handed over (the writer's)
  size_t taken_ = 0;         // results taken back (the writer's)
  size_t claimed_ = 0;       // files a reader has begun (under the lock)
  size_t ready_ = 0;         // every file before this one is done (under the lock)
  size_t wanted_ = 0;        // the writer sleeps until ready_ reaches this (under the lock)
  std::vector<std::shared_ptr<Split>> splits_;  // split files with parts not begun
  bool quit_ = false;
  uint64_t bytes_ahead_ = 0;                // the writer's
  std::unique_ptr<ReaderControl> control_;  // under the lock
  uint64_t bytes_read_ = 0;                 // under the lock
  uint64_t cached_read_ = 0;                // under the lock
  int32_t active_ = 0;                      // readers below this take work (under the lock)
  int32_t most_ = 0;                        // the most active_ has been (under the lock)
  int32_t seen_active_ = 0;                 // the writer's
  int32_t seen_most_ = 0;                   // the writer's
};

}  // namespace content
