#pragma once
// The read plan of a run: the directories of the tree list made ready ahead of their
// lines (opened, their files known and sorted), their files handed to the reader threads,
// and those threads and the lookup threads of the walk started with the read buffer.

#include <atomic>
#include <deque>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "fs/dir_iter.h"
#include "scan/listed_dirs.h"
#include "scan/listings.h"
#include "content/read_pool.h"
#include "scan/run_settings.h"
#include "support/string_list.h"

namespace scan {

// The processors there are, at least 1: what reads from the page cache are bound by.
int32_t Cores();
// The readers an automatic choice starts with for files below `path`; the read pool's
// control then follows what the disk gives.
int32_t AutoReaders(const std::string& path);

// One directory of the tree list made ready for its lines. What it found wrong is only
// counted when its lines are written, so that every notification shows what a run with
// one reader shows.
struct PlannedDirectory {
  const std::string* listed = nullptr;
  bool readable = false;
  std::string problem;  // why it was not read; empty when on another file system
  std::vector<fs::WalkError> listing_errors;
  std::shared_ptr<platform::DirHandle> handle;
  std::unique_ptr<DirectoryFiles> files;
  std::vector<uint32_t> order;  // the files its lines show, sorted
  std::vector<uint8_t> done;    // per entry of order: listed by an earlier run
  int64_t bytes = 0;            // its files' sizes, as its listing counted them
};

class ReadPlan {
 public:
  // Plans the lines of `dir_list` below `dirs`, with the settings' file parameters.
  ReadPlan(const RunSettings& settings, ListedDirs* dirs, const support::StringList* dir_list,
           const std::atomic<bool>* stop, std::vector<std::string>* other_volumes);
  ~ReadPlan();
  ReadPlan(const ReadPlan&) = delete;
  ReadPlan& operator=(const ReadPlan&) = delete;

  // Threads that read: the setting, or chosen for the processor and the disk. Chosen,
  // the count may change from file to file; readers_most() is the most so far.
  void ChooseReaders();
  int32_t readers() const { return readers_; }
  int32_t readers_most() const { return readers_most_; }
  // With several readers, as many threads look the files up while the walk goes on.
  void StartLookups();
  ListingKeeper& keeper() { return keeper_; }
  // Files an earlier run listed, by path as the lists write it: they get no line.
  support::StringList* done() { return &done_; }
  // A share of available memory for reading, at most `max` bytes when above a minimum:
  // its size, 0 when the share is 0, -1 when none could be had.
  int32_t AllocateBuffer(int32_t percent, int32_t max);

  // Before the first directory: the run's own lists are left out, the readers start.
  void Start();
  // The directory of the next lines; planned now unless planned ahead.
  PlannedDirectory& Front();
  void PopFront();
  // The result for entry k of the directory whose lines are being written.
  content::ReadResult Result(const PlannedDirectory& dir, size_t k);
  // The readers go before anything they read from.
  void End();

 private:
  void PlanNext();
  void FindDone(PlannedDirectory* dir);
  void DropOwnLists(PlannedDirectory* dir, std::vector<uint8_t>* left_out);
  // Hands files to the readers while the read-ahead limits allow.
  void Feed();
  // A placeholder the settings leave unread.
  bool LeftUnread(const DirectoryFiles::Record& record) const;
  content::LentBuffer SharedBuffer() const;

  struct OwnList {
    platform::FileInfo folder;
    std::string name;
  };

  const RunSettings& settings_;
  ListedDirs* dirs_;
  const support::StringList* dir_list_;
  const std::atomic<bool>* stop_;
  // At most this many planned, each holding a descriptor.
  const size_t planned_most_;
  fs::THddRun file_run_;
  uint32_t file_options_ = 0;
  std::vector<fs::WalkError> walk_errors_;
  std::vector<OwnList> own_lists_;
  ListingKeeper keeper_;
  support::StringList done_;
  std::unordered_set<std::string_view> seen_;
  std::deque<std::unique_ptr<PlannedDirectory>> planned_;
  size_t next_plan_ = 0;   // index in the tree list of the next directory to plan
  size_t feed_dir_ = 0;    // index in planned_ of the directory being fed
  size_t feed_entry_ = 0;  // its next entry to feed
  support::StringList scratch_;
  void* buffer_ = nullptr;
  int32_t buffer_size_ = 0;
  // Reads from the buffer and the planned directories: ended before either goes.
  std::unique_ptr<content::ReadPool> pool_;
  bool adaptive_ = false;  // the reader count follows the throughput
  int32_t cores_ = 1;      // what reads from the page cache are bound by
  int32_t readers_ = 0;
  int32_t readers_most_ = 0;
};

}  // namespace scan
