#pragma once
// What a directory walk learned about each directory's files (names and records), kept
// so that the file pass neither lists a directory again nor looks its files up again.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "content/content_id.h"
#include "fs/dir_iter.h"
#include "platform/files.h"
#include "content/reader_control.h"
#include "support/find_data.h"

namespace scan {

// The regular files of one directory, in the order the walk met them.
class DirectoryFiles {
 public:
  // What a file's line shows, as the walk's lookup gave it.
  struct Record {
    uint32_t attributes = 0;
    bool found = false;  // false: the lookup failed (the file went meanwhile)
    platform::FileTime creation_time = 0;
    platform::FileTime last_access_time = 0;
    platform::FileTime last_write_time = 0;
    uint64_t size = 0;
    // Which file it was and when it last changed, for the read to compare.
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t write_ns = 0;
    int64_t change_ns = 0;
  };

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  std::string_view name(size_t i) const {
    return std::string_view(names_).substr(entries_[i].name_offset, entries_[i].name_size);
  }
  const Record& record(size_t i) const { return entries_[i].record; }
  // File i as its read is to find it.
  content::ListedFile listed(size_t i) const {
    const Record& r = entries_[i].record;
    return content::ListedFile{r.size, r.device, r.inode, r.write_ns, r.change_ns};
  }
  // Sum of the sizes of the files found.
  uint64_t total_size() const { return total_size_; }
  // info null: the lookup failed, or is yet to be made. Returns the memory the file
  // takes, roughly.
  size_t Add(std::string_view name, const platform::FileInfo* info);
  // The record of file i, looked up later.
  void SetRecord(size_t i, const platform::FileInfo& info);
  void Clear();
  // The record as a find-data record (name left as it is).
  void FillFindData(size_t i, support::FindData* find_data) const;

 private:
  struct Entry {
    size_t name_offset;
    uint32_t name_size;
    Record record;
  };
  std::string names_;
  std::vector<Entry> entries_;
  uint64_t total_size_ = 0;
};

// Keeps the files of every directory a walk reads completely, up to a memory limit; past
// it, directories are no longer kept (their files are listed again when needed). A
// directory read only in part, or whose file went between listing and lookup, is not
// kept either. Used by one walk at a time, on one thread; lookups it starts run on
// threads of their own.
class ListingKeeper : public fs::WalkRecorder {
 public:
  explicit ListingKeeper(size_t memory_limit);
  // Ends the lookups.
  ~ListingKeeper() override;
  ListingKeeper(const ListingKeeper&) = delete;
  ListingKeeper& operator=(const ListingKeeper&) = delete;

  // From now on the files of each directory the walk reads are looked up by one of
  // `threads` threads of the keeper's own while the walk goes on, and left out of the
  // walk's total. Without this, or when no thread can be started, the walk looks them
  // up. `stop` (may be null) ends the lookups early. With `control`, only as many of
  // them as it chooses look up, and it is told of every directory looked up.
  void StartLookups(int threads, const std::atomic<bool>* stop,
                    std::unique_ptr<content::ReaderControl> control = nullptr);
  // Waits for the lookups and ends their threads; returns the sizes of the files they
  // found. Directories with a file gone before its lookup are not kept.
  uint64_t FinishLookups();

  bool BeginDirectory(const std::string& path, const platform::DirReader& dir) override;
  void File(std::string_view name, const platform::FileInfo* info) override;
  void FileToLookUp(std::string_view name) override;
  void EndDirectory(bool complete) override;

  // Hands over the files kept for `path` (as the walk wrote it, ending with "/"); null
  // when there are none. After FinishLookups only.
  std::unique_ptr<DirectoryFiles> Take(const std::string& path);
  bool full() const { return full_; }
  void Clear();

 private:
  struct Open {
    std::string path;
    std::unique_ptr<DirectoryFiles> files;
    size_t bytes = 0;  // counted while it may be kept
    bool keep = true;
    bool deferred = false;  // its files are looked up by the keeper's threads
    platform::DirHandle dir;
  };
  struct Lookup {
    DirectoryFiles* files = nullptr;
    std::unique_ptr<DirectoryFiles> owned;  // set when the directory is not kept
    std::string kept_as;                    // set when it is
    platform::DirHandle dir;
  };
  void Drop(Open* open);
  void Add(Open* open, std::string_view name, const platform::FileInfo* info);
  void LookUp(int index);

  size_t limit_;
  size_t used_ = 0;
  bool full_ = false;
  std::vector<Open> open_;
  std::unordered_map<std::string, std::unique_ptr<DirectoryFiles>> kept_;

  const std::atomic<bool>* stop_ = nullptr;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable work_;  // a lookup waits, or the end
  std::condition_variable room_;  // the queue has room, or every lookup is done
  std::condition_variable idle_;  // threads beyond the count in use
  std::deque<Lookup> queue_;      // under the lock, as all below
  size_t busy_ = 0;
  bool quit_ = false;
  uint64_t found_bytes_ = 0;
  std::vector<std::string> not_kept_;
  std::unique_ptr<content::ReaderControl> control_;
  int lookup_threads_ = 0;
  int active_ = 0;          // threads below this look up
  // Directories held for their lookups, waiting and queued: few when descriptors are.
  const size_t held_most_ = fs::HeldDirectories();
  const size_t queue_most_;
  uint64_t looked_up_ = 0;  // files looked up, as the control counts them
};

// Gathers every file one walk reports, subdirectories' included, into one list: the
// files of one directory listed again.
class FileGatherer : public fs::WalkRecorder {
 public:
  explicit FileGatherer(DirectoryFiles* files) : files_(files) {}
  bool BeginDirectory(const std::string&, const platform::DirReader&) override { return false; }
  void File(std::string_view name, const platform::FileInfo* info) override {
    files_->Add(name, info);
  }
  void FileToLookUp(std::string_view) override {}
  void EndDirectory(bool) override {}

 private:
  DirectoryFiles* files_;
};

}  // namespace scan
