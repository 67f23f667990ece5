#include "scan/listed_dirs.h"

#include <string_view>
#include <utility>

#include "platform/paths.h"

namespace scan {

ListedDirs::ListedDirs(std::string root, std::string root_listed, bool cross_mounts,
                       std::vector<std::string>* other_volumes)
    : root_(std::move(root)),
      root_listed_(std::move(root_listed)),
      border_(cross_mounts),
      other_volumes_(other_volumes) {}

void ListedDirs::Clear() {
  handles_.clear();
  names_.clear();
  devices_.clear();
}

std::shared_ptr<platform::DirHandle> ListedDirs::Open(const std::string& dir, std::string* reason) {
  if (handles_.empty()) {
    auto root = std::make_shared<platform::DirHandle>();
    if (!root->Open(root_)) {
      *reason = root->ErrorText();
      return nullptr;
    }
    platform::FileInfo self;
    devices_.assign(1, root->StatSelf(&self) ? self.device : 0);
    handles_.push_back(std::move(root));
  }
  // A continued run's lines show the search path as the lists write it.
  if (dir.size() < root_.size() || (dir.compare(0, root_.size(), root_) != 0 &&
                                    dir.compare(0, root_.size(), root_listed_) != 0)) {
    *reason = "not below the search path";
    return nullptr;
  }
  size_t depth = 0;
  size_t pos = root_.size();
  while (pos < dir.size()) {
    const size_t slash = dir.find_first_of(platform::kSeparators, pos);
    const size_t end = slash == std::string::npos ? dir.size() : slash;
    const std::string_view name = std::string_view(dir).substr(pos, end - pos);
    pos = end + 1;
    if (depth < names_.size() && names_[depth] == name) {
      ++depth;
      continue;
    }
    names_.resize(depth);
    handles_.resize(depth + 1);
    devices_.resize(depth + 1);
    if (!Hold(depth, reason)) return nullptr;
    const platform::DirHandle& parent = *handles_[depth];
    // Looked at before it is opened: opening the mount point of an automounter mounts it.
    platform::FileInfo info;
    const uint64_t device = parent.Stat(name, &info) ? info.device : devices_[depth];
    if (!border_.Enters(devices_[depth], device)) {
      other_volumes_->push_back(dir.substr(0, pos));
      reason->clear();
      return nullptr;
    }
    auto child = std::make_shared<platform::DirHandle>();
    if (!child->OpenAt(parent, name)) {
      *reason = child->ErrorText();
      return nullptr;
    }
    handles_.push_back(std::move(child));
    names_.emplace_back(name);
    devices_.push_back(device);
    LetGo();
    ++depth;
  }
  names_.resize(depth);
  handles_.resize(depth + 1);
  devices_.resize(depth + 1);
  if (!Hold(depth, reason)) return nullptr;
  return handles_.back();
}

bool ListedDirs::Hold(size_t depth, std::string* reason) {
  if (handles_[depth] != nullptr) return true;
  // The root is never let go.
  size_t from = depth;
  while (handles_[from - 1] == nullptr) --from;
  for (size_t i = from; i <= depth; ++i) {
    auto handle = std::make_shared<platform::DirHandle>();
    if (!handle->OpenAt(*handles_[i - 1], names_[i - 1])) {
      *reason = handle->ErrorText();
      return false;
    }
    handles_[i] = std::move(handle);
    LetGo();
  }
  return true;
}

void ListedDirs::LetGo() {
  if (handles_.size() <= held_most_ + 1) return;
  size_t held = 0;
  for (size_t i = 1; i < handles_.size(); ++i) held += handles_[i] != nullptr ? 1 : 0;
  for (size_t i = 1; held > held_most_ && i < handles_.size(); ++i) {
    if (handles_[i] == nullptr) continue;
    handles_[i].reset();
    --held;
  }
}

}  // namespace scan
