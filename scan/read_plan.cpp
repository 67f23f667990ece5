#include "scan/read_plan.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "content/reader_control.h"
#include "fs/volume_info.h"
#include "platform/paths.h"
#include "scan/scan_problem.h"
#include "support/text.h"
#include "support/toolkit.h"

namespace scan {

namespace {

// What the walk learned of each directory's files is kept up to this much memory; the
// directories past it are listed again when their files are read.
constexpr size_t kKeptListingBytes = 64 * 1048576;
// Directories are planned at most this far ahead of the lines, and at most twice as many
// as a walk holds open.
constexpr size_t kPlannedAhead = 64;
// The most reader threads an automatic choice starts with.
constexpr int32_t kMaxAutoReaders = 8;
// The buffer: shares of available memory above this are capped, the maximum counts only
// above kMinBufferMax, and a refused size shrinks in these steps.
constexpr int32_t kMaxBufferPercent = 80;
constexpr int32_t kMinBufferMax = 31;
constexpr int64_t kBigStep = 104857600;
constexpr int64_t kSmallStep = 1048576;
// The buffer size is a 32-bit field; larger reads gain nothing.
constexpr int64_t kBufferCeiling = 1 << 30;
constexpr uint32_t kWalkFiles =
    fs::walk_option::NoDirs | fs::walk_option::BareNames | fs::walk_option::SumSizes;

}  // namespace

ReadPlan::ReadPlan(const RunSettings& settings, ListedDirs* dirs,
                   const support::StringList* dir_list, const std::atomic<bool>* stop,
                   std::vector<std::string>* other_volumes)
    : settings_(settings),
      dirs_(dirs),
      dir_list_(dir_list),
      stop_(stop),
      planned_most_(std::min(kPlannedAhead, 2 * fs::HeldDirectories())),
      keeper_(kKeptListingBytes) {
  file_run_.set_cross_mounts(settings.cross_mounts);
  file_run_.set_other_volumes(other_volumes);
}

ReadPlan::~ReadPlan() { End(); }

int32_t Cores() { return static_cast<int32_t>(std::max(std::thread::hardware_concurrency(), 1u)); }

int32_t AutoReaders(const std::string& path) {
  const int32_t readers = std::min(Cores(), kMaxAutoReaders);
  // Parallel reads make a spinning disk seek between the files; the control tries more
  // once reading shows whether they pay.
  return readers > 1 && fs::OnRotationalDisk(path) ? 1 : readers;
}

void ReadPlan::ChooseReaders() {
  int32_t readers = settings_.threads;
  adaptive_ = readers <= 0;
  cores_ = Cores();
  if (adaptive_) readers = AutoReaders(dirs_->root());
  readers_ = std::clamp(readers, 1, adaptive_ ? content::kMaxAdaptiveReaders : kMaxReaders);
  readers_most_ = readers_;
}

// A chosen count looks the files up with threads of its own count, which follows the
// disk as the readers' does: a cold walk waits on the device as a read does.
void ReadPlan::StartLookups() {
  if (adaptive_) {
    keeper_.StartLookups(content::kMaxAdaptiveReaders, stop_,
                         std::make_unique<content::ReaderControl>(readers_, cores_));
  } else if (readers_ > 1) {
    keeper_.StartLookups(readers_, stop_);
  }
}

int32_t ReadPlan::AllocateBuffer(int32_t percent, int32_t max) {
  if (percent < 1) return 0;
  const auto share = static_cast<uint8_t>(std::min(percent, kMaxBufferPercent));
  int64_t bytes =
      static_cast<int64_t>(std::min<uint64_t>(support::MemPercentSx(share), kBufferCeiling));
  if (max > kMinBufferMax && max < bytes) bytes = max;
  bytes &= ~int64_t{1};
  int64_t size = content::VirtAllocSx(&buffer_, -1, bytes);
  while (buffer_ == nullptr && bytes > kSmallStep) {
    bytes -= bytes > kBigStep ? kBigStep : kSmallStep;
    size = content::VirtAllocSx(&buffer_, -1, bytes);
  }
  buffer_size_ = buffer_ == nullptr ? -1 : static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX));
  return buffer_size_;
}

content::LentBuffer ReadPlan::SharedBuffer() const {
  if (buffer_ == nullptr) return {};
  return {static_cast<uint8_t*>(buffer_), static_cast<uint64_t>(buffer_size_)};
}

void ReadPlan::Start() {
  file_run_.set_errors(&walk_errors_);
  file_options_ = file_run_.ApplyParams(settings_.file_params, kWalkFiles);
  for (const std::string* list : {&settings_.id_list, &settings_.tree_list}) {
    const size_t slash = list->find_last_of(platform::kSeparators);
    platform::DirHandle folder;
    OwnList own;
    if (slash == std::string::npos || !folder.Open(list->substr(0, slash + 1)) ||
        !folder.StatSelf(&own.folder)) {
      continue;
    }
    own.name = list->substr(slash + 1);
    own_lists_.push_back(std::move(own));
  }
  if (readers_ <= 1 && !adaptive_) return;
  try {
    if (adaptive_) {
      // Every thread is there from the start; the control lets as many take work as pay.
      pool_ = std::make_unique<content::ReadPool>(
          content::kMaxAdaptiveReaders, SharedBuffer(), stop_,
          std::make_unique<content::ReaderControl>(readers_, cores_));
    } else {
      pool_ = std::make_unique<content::ReadPool>(readers_, SharedBuffer(), stop_);
    }
  } catch (const std::exception&) {
    // No threads to be had: the job's own thread reads.
    readers_ = 1;
    readers_most_ = 1;
  }
}

PlannedDirectory& ReadPlan::Front() {
  if (planned_.empty()) PlanNext();
  return *planned_.front();
}

void ReadPlan::PopFront() {
  planned_.pop_front();
  if (feed_dir_ > 0) --feed_dir_;
}

void ReadPlan::End() {
  pool_.reset();
  planned_.clear();
  dirs_->Clear();
  keeper_.Clear();
  done_.Clear();
  content::VirtFreeSx(&buffer_, -1);
}

void ReadPlan::DropOwnLists(PlannedDirectory* dir, std::vector<uint8_t>* left_out) {
  const DirectoryFiles& files = *dir->files;
  platform::FileInfo self;
  bool known = false;
  for (const OwnList& own : own_lists_) {
    for (size_t i = 0; i < files.size(); ++i) {
      if (files.name(i) != own.name || !file_run_.ListsFile(own.name)) continue;
      // Only a directory that holds a file of that name is asked which one it is.
      if (!known && !dir->handle->StatSelf(&self)) return;
      known = true;
      if (own.folder.device != self.device || own.folder.inode != self.inode) continue;
      (*left_out)[i] = 1;
      dir->bytes -= static_cast<int64_t>(files.record(i).size);
    }
  }
}

void ReadPlan::PlanNext() {
  auto dir = std::make_unique<PlannedDirectory>();
  const std::string& listed = (*dir_list_)[next_plan_++];
  dir->listed = &listed;
  // Two names that differ only in a CR or LF stand in the tree list as one line: the
  // directory so named is read once, the other is not found.
  if (!seen_.insert(listed).second) {
    dir->problem = "named twice in the tree list";
    planned_.push_back(std::move(dir));
    return;
  }
  dir->handle = dirs_->Open(listed, &dir->problem);
  if (dir->handle == nullptr) {
    planned_.push_back(std::move(dir));
    return;
  }
  dir->readable = true;
  // What the walk learned stands for the directory as it is now; a directory it did
  // not read whole, or that lists subdirectories' files too, is listed again.
  if ((file_options_ & fs::walk_option::Recurse) == 0) dir->files = keeper_.Take(listed);
  if (dir->files == nullptr) {
    dir->files = std::make_unique<DirectoryFiles>();
    FileGatherer gatherer(dir->files.get());
    file_run_.set_recorder(&gatherer);
    fs::FilesToStringsAt(&scratch_, *dir->handle, listed, file_options_ | fs::walk_option::NoFiles,
                         &file_run_, {});
    file_run_.set_recorder(nullptr);
    scratch_.Clear();
    dir->listing_errors.swap(walk_errors_);
    walk_errors_.clear();
  }
  const DirectoryFiles& files = *dir->files;
  dir->bytes = static_cast<int64_t>(files.total_size());
  std::vector<uint8_t> left_out(files.size(), 0);
  DropOwnLists(dir.get(), &left_out);
  if ((file_options_ & fs::walk_option::NoFiles) == 0) {
    for (size_t i = 0; i < files.size(); ++i) {
      if (!left_out[i] && file_run_.ListsFile(files.name(i)))
        dir->order.push_back(static_cast<uint32_t>(i));
    }
  }
  std::stable_sort(dir->order.begin(), dir->order.end(), [&files](uint32_t a, uint32_t b) {
    return support::CompareText(files.name(a), files.name(b)) < 0;
  });
  FindDone(dir.get());
  planned_.push_back(std::move(dir));
}

// Listed by an earlier run: no line, nothing counted. The list holds "?" for CR and LF,
// so the name on disk is compared the same way. The done list is kept whole (deleting
// from the middle of a large sorted list costs more than it saves).
void ReadPlan::FindDone(PlannedDirectory* dir) {
  dir->done.assign(dir->order.size(), 0);
  if (done_.empty()) return;
  std::string path;
  for (size_t k = 0; k < dir->order.size(); ++k) {
    path.assign(*dir->listed).append(dir->files->name(dir->order[k]));
    support::ReplaceLineBreaks(&path);
    size_t index = 0;
    dir->done[k] = done_.Find(path, &index) ? 1 : 0;
  }
}

void ReadPlan::Feed() {
  for (;;) {
    if (feed_dir_ >= planned_.size()) {
      if (planned_.size() >= planned_most_ || next_plan_ >= dir_list_->size()) return;
      PlanNext();
      continue;
    }
    const PlannedDirectory& dir = *planned_[feed_dir_];
    if (feed_entry_ >= dir.order.size()) {
      ++feed_dir_;
      feed_entry_ = 0;
      continue;
    }
    const uint32_t i = dir.order[feed_entry_];
    const DirectoryFiles::Record& record = dir.files->record(i);
    if (dir.done[feed_entry_] || !record.found || LeftUnread(record)) {
      ++feed_entry_;
      continue;
    }
    if (!pool_->HasRoom(record.size)) return;
    pool_->Push(content::ReadRequest{dir.handle.get(), dir.files->name(i), dir.files->listed(i),
                                     settings_.cache});
    ++feed_entry_;
  }
}

bool ReadPlan::LeftUnread(const DirectoryFiles::Record& record) const {
  return !settings_.read_placeholders && platform::IsPlaceholder(record.attributes);
}

content::ReadResult ReadPlan::Result(const PlannedDirectory& dir, size_t k) {
  const uint32_t i = dir.order[k];
  if (!dir.files->record(i).found) {
    // Listed, and gone before the walk looked it up.
    content::ReadResult result;
    result.code = content::kChkGone;
    return result;
  }
  if (LeftUnread(dir.files->record(i))) {
    // Not even opened: an open of some placeholders fetches the data already.
    content::ReadResult result;
    result.code = content::kChkOpenFailed;
    result.error = kPlaceholder;
    return result;
  }
  if (pool_ == nullptr) {
    return content::ReadListedFile(content::ReadRequest{dir.handle.get(), dir.files->name(i),
                                                        dir.files->listed(i), settings_.cache},
                                   SharedBuffer(), content::StopTest{stop_, nullptr});
  }
  Feed();
  content::ReadResult result = pool_->Take();
  if (adaptive_) {
    readers_ = pool_->active_readers();
    readers_most_ = std::max(readers_most_, pool_->most_readers());
  }
  return result;
}

}  // namespace scan
