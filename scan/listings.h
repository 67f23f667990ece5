#pragma once
// What a directory walk learned about each directory's files (names and records), kept
// so that the file pass neither lists a directory again nor looks its files up again.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "fs/dir_iter.h"
#include "platform/files.h"
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
  };

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  std::string_view name(size_t i) const {
    return std::string_view(names_).substr(entries_[i].name_offset, entries_[i].name_size);
  }
  const Record& record(size_t i) const { return entries_[i].record; }
  // Sum of the sizes of the files found.
  uint64_t total_size() const { return total_size_; }
  // info null: the lookup failed. Returns the memory the file takes, roughly.
  size_t Add(std::string_view name, const platform::FileInfo* info);
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
// kept either. Used by one walk at a time, on one thread.
class ListingKeeper : public WalkRecorder {
 public:
  explicit ListingKeeper(size_t memory_limit) : limit_(memory_limit) {}

  void BeginDirectory(const std::string& path) override;
  void File(std::string_view name, const platform::FileInfo* info) override;
  void EndDirectory(bool complete) override;

  // Hands over the files kept for `path` (as the walk wrote it, ending with "/"); null
  // when there are none.
  std::unique_ptr<DirectoryFiles> Take(const std::string& path);
  bool full() const { return full_; }
  void Clear();

 private:
  struct Open {
    std::string path;
    std::unique_ptr<DirectoryFiles> files;
    size_t bytes = 0;
    bool usable = true;
  };
  void Drop(Open* open);
  size_t limit_;
  size_t used_ = 0;
  bool full_ = false;
  std::vector<Open> open_;
  std::unordered_map<std::string, std::unique_ptr<DirectoryFiles>> kept_;
};

// Gathers every file one walk reports, subdirectories' included, into one list: the
// files of one directory listed again.
class FileGatherer : public WalkRecorder {
 public:
  explicit FileGatherer(DirectoryFiles* files) : files_(files) {}
  void BeginDirectory(const std::string&) override {}
  void File(std::string_view name, const platform::FileInfo* info) override {
    files_->Add(name, info);
  }
  void EndDirectory(bool) override {}

 private:
  DirectoryFiles* files_;
};

}  // namespace scan
