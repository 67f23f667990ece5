#include "scan/listings.h"

#include <algorithm>
#include <new>
#include <utility>

#include "platform/clock.h"

namespace scan {

namespace {

// Directories waiting for their lookups; the walk waits when this many do, so that the
// descriptors and names held stay few.
constexpr size_t kLookupQueue = 64;

void FillRecord(const platform::FileInfo& info, DirectoryFiles::Record* record) {
  record->attributes = info.attributes;
  record->found = true;
  record->creation_time = info.creation_time;
  record->last_access_time = info.last_access_time;
  record->last_write_time = info.last_write_time;
  record->size = info.size;
  record->device = info.device;
  record->inode = info.inode;
  record->write_ns = info.write_ns;
  record->change_ns = info.change_ns;
}

}  // namespace

size_t DirectoryFiles::Add(std::string_view name, const platform::FileInfo* info) {
  Entry entry{names_.size(), static_cast<uint32_t>(name.size()), {}};
  if (info != nullptr) {
    FillRecord(*info, &entry.record);
    total_size_ += info->size;
  }
  names_.append(name);
  entries_.push_back(entry);
  return name.size() + sizeof(Entry);
}

void DirectoryFiles::SetRecord(size_t i, const platform::FileInfo& info) {
  FillRecord(info, &entries_[i].record);
  total_size_ += info.size;
}

void DirectoryFiles::Clear() {
  names_.clear();
  entries_.clear();
  total_size_ = 0;
}

void DirectoryFiles::FillFindData(size_t i, support::FindData* find_data) const {
  const Record& record = entries_[i].record;
  find_data->attributes = record.attributes;
  find_data->creation_time = record.creation_time;
  find_data->last_access_time = record.last_access_time;
  find_data->last_write_time = record.last_write_time;
  find_data->size = record.size;
}

ListingKeeper::ListingKeeper(size_t memory_limit)
    : limit_(memory_limit), queue_most_(std::min(kLookupQueue, 2 * held_most_)) {}

ListingKeeper::~ListingKeeper() { FinishLookups(); }

void ListingKeeper::StartLookups(int threads, const std::atomic<bool>* stop,
                                 std::unique_ptr<content::ReaderControl> control) {
  FinishLookups();
  stop_ = stop;
  quit_ = false;
  control_ = std::move(control);
  looked_up_ = 0;
  lookup_threads_ = std::max(threads, 1);
  active_ = control_ != nullptr ? std::clamp(control_->readers(), 1, threads) : threads;
  try {
    for (int i = 0; i < threads; ++i) threads_.emplace_back([this, i] { LookUp(i); });
  } catch (...) {
    // Those that started serve; with none the walk looks the files up itself.
  }
}

uint64_t ListingKeeper::FinishLookups() {
  if (!threads_.empty()) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      room_.wait(lock, [this] { return queue_.empty() && busy_ == 0; });
      quit_ = true;
    }
    work_.notify_all();
    idle_.notify_all();
    for (std::thread& thread : threads_) thread.join();
    threads_.clear();
  }
  for (const std::string& path : not_kept_) kept_.erase(path);
  not_kept_.clear();
  const uint64_t found = found_bytes_;
  found_bytes_ = 0;
  return found;
}

// What one lookup counts for in the control's windows, which are measured in bytes: a
// block of the inode table.
constexpr uint64_t kLookupWeight = 4096;

void ListingKeeper::LookUp(int index) {
  for (;;) {
    Lookup lookup;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      for (;;) {
        if (quit_ && queue_.empty()) return;
        // Threads beyond the count in use wait apart, as the readers do.
        if (index >= active_) {
          idle_.wait(lock);
          continue;
        }
        if (!queue_.empty()) break;
        work_.wait(lock);
        // Woken for work after the count fell below it: the wake-up is another's.
        if (index >= active_) work_.notify_one();
      }
      lookup = std::move(queue_.front());
      queue_.pop_front();
      ++busy_;
    }
    room_.notify_one();
    uint64_t found = 0;
    bool all_found = true;
    DirectoryFiles& files = *lookup.files;
    for (size_t i = 0; i < files.size(); ++i) {
      if (stop_ != nullptr && stop_->load(std::memory_order_relaxed)) {
        all_found = false;
        break;
      }
      platform::FileInfo info;
      bool looked_up = false;
      try {
        looked_up = lookup.dir.Stat(files.name(i), &info);
      } catch (const std::bad_alloc&) {  // a very long name is copied; it is listed again
      }
      if (looked_up) {
        files.SetRecord(i, info);
        found += info.size;
      } else {
        all_found = false;
      }
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      found_bytes_ += found;
      if (!all_found && !lookup.kept_as.empty()) not_kept_.push_back(lookup.kept_as);
      --busy_;
      if (control_ != nullptr) {
        looked_up_ += files.size() * kLookupWeight;
        const int wanted =
            std::clamp(control_->Step(platform::TickCount(), looked_up_), 1, lookup_threads_);
        if (wanted > active_) idle_.notify_all();
        active_ = wanted;
      }
    }
    room_.notify_all();
  }
}

bool ListingKeeper::BeginDirectory(const std::string& path, const platform::DirReader& dir) {
  Open open;
  open.keep = !full_;
  // Each directory waiting here holds a descriptor: deeper than a walk holds its own,
  // the walk looks the files up itself, so that the descriptors stay few at any depth.
  open.deferred = !threads_.empty() && open_.size() < held_most_ && open.dir.Duplicate(dir);
  if (open.keep) open.path = path;
  if (open.keep || open.deferred) open.files = std::make_unique<DirectoryFiles>();
  open_.push_back(std::move(open));
  return open_.back().deferred;
}

void ListingKeeper::Add(Open* open, std::string_view name, const platform::FileInfo* info) {
  if (open->files == nullptr) return;
  const size_t bytes = open->files->Add(name, info);
  if (!open->keep) return;
  open->bytes += bytes;
  used_ += bytes;
  if (used_ > limit_) {
    // Full: what is open goes; what is kept stays.
    full_ = true;
    for (Open& each : open_) Drop(&each);
  }
}

void ListingKeeper::File(std::string_view name, const platform::FileInfo* info) {
  if (open_.empty()) return;
  Open& open = open_.back();
  // A file that went between listing and lookup: listed again, the directory shows what
  // is there then.
  if (info == nullptr) {
    Drop(&open);
    return;
  }
  Add(&open, name, info);
}

void ListingKeeper::FileToLookUp(std::string_view name) {
  if (!open_.empty()) Add(&open_.back(), name, nullptr);
}

void ListingKeeper::EndDirectory(bool complete) {
  if (open_.empty()) return;
  Open& open = open_.back();
  if (!complete) Drop(&open);
  // Two directories the walk writes alike (a name with a line break and one with "?"):
  // neither is kept, and the first's files may still be looked up.
  if (open.keep && kept_.count(open.path) != 0) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      not_kept_.push_back(open.path);
    }
    Drop(&open);
  }
  if (open.deferred) {
    // Its files are still looked up, kept or not: the walk left their sizes out.
    Lookup lookup;
    lookup.files = open.files.get();
    if (open.keep) {
      lookup.kept_as = open.path;
      kept_[open.path] = std::move(open.files);
    } else {
      lookup.owned = std::move(open.files);
    }
    lookup.dir = std::move(open.dir);
    {
      std::unique_lock<std::mutex> lock(mutex_);
      room_.wait(lock, [this] { return queue_.size() < queue_most_; });
      queue_.push_back(std::move(lookup));
    }
    work_.notify_one();
  } else if (open.keep) {
    kept_[open.path] = std::move(open.files);
  }
  open_.pop_back();
}

void ListingKeeper::Drop(Open* open) {
  if (!open->keep) return;
  open->keep = false;
  used_ -= open->bytes;
  open->bytes = 0;
  // Names waiting for their lookup stay until it is made.
  if (!open->deferred) open->files.reset();
}

std::unique_ptr<DirectoryFiles> ListingKeeper::Take(const std::string& path) {
  const auto at = kept_.find(path);
  if (at == kept_.end()) return nullptr;
  std::unique_ptr<DirectoryFiles> files = std::move(at->second);
  kept_.erase(at);
  return files;
}

void ListingKeeper::Clear() {
  FinishLookups();
  open_.clear();
  kept_.clear();
  used_ = 0;
  full_ = false;
}

}  // namespace scan
