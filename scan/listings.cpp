#include "scan/listings.h"

#include <utility>

namespace scan {

size_t DirectoryFiles::Add(std::string_view name, const platform::FileInfo* info) {
  Entry entry{names_.size(), static_cast<uint32_t>(name.size()), {}};
  if (info != nullptr) {
    entry.record.attributes = info->attributes;
    entry.record.found = true;
    entry.record.creation_time = info->creation_time;
    entry.record.last_access_time = info->last_access_time;
    entry.record.last_write_time = info->last_write_time;
    entry.record.size = info->size;
    total_size_ += info->size;
  }
  names_.append(name);
  entries_.push_back(entry);
  return name.size() + sizeof(Entry);
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

void ListingKeeper::BeginDirectory(const std::string& path) {
  Open open;
  open.usable = !full_;
  if (open.usable) {
    open.path = path;
    open.files = std::make_unique<DirectoryFiles>();
  }
  open_.push_back(std::move(open));
}

void ListingKeeper::File(std::string_view name, const platform::FileInfo* info) {
  if (open_.empty()) return;
  Open& open = open_.back();
  if (!open.usable) return;
  // A file that went between listing and lookup: listed again, the directory shows what
  // is there then.
  if (info == nullptr) {
    Drop(&open);
    return;
  }
  const size_t bytes = open.files->Add(name, info);
  open.bytes += bytes;
  used_ += bytes;
  if (used_ > limit_) {
    // Full: what is open goes; what is kept stays.
    full_ = true;
    for (Open& each : open_) Drop(&each);
  }
}

void ListingKeeper::EndDirectory(bool complete) {
  if (open_.empty()) return;
  Open& open = open_.back();
  if (open.usable && !complete) Drop(&open);
  if (open.usable) kept_[open.path] = std::move(open.files);
  open_.pop_back();
}

void ListingKeeper::Drop(Open* open) {
  if (!open->usable) return;
  open->usable = false;
  open->files.reset();
  used_ -= open->bytes;
  open->bytes = 0;
}

std::unique_ptr<DirectoryFiles> ListingKeeper::Take(const std::string& path) {
  const auto at = kept_.find(path);
  if (at == kept_.end()) return nullptr;
  std::unique_ptr<DirectoryFiles> files = std::move(at->second);
  kept_.erase(at);
  return files;
}

void ListingKeeper::Clear() {
  open_.clear();
  kept_.clear();
  used_ = 0;
  full_ = false;
}

}  // namespace scan
