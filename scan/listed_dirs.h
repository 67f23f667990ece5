#pragma once
// The directories of a tree list, opened from the search path down without following a
// link. The tree list is sorted, so most directories share all but their last component
// with the one before: only what differs is opened, and only a few below the root stay
// open; a directory let go is opened again from its nearest ancestor still open.

#include <memory>
#include <string>
#include <vector>

#include "fs/dir_iter.h"
#include "platform/files.h"

namespace scan {

class ListedDirs {
 public:
  // `root` ends with "/"; `root_listed` is the same as the lists write it. Directories on
  // another file system than the root's are entered only when `cross_mounts`; those not
  // entered are named in *other_volumes.
  ListedDirs(std::string root, std::string root_listed, bool cross_mounts,
             std::vector<std::string>* other_volumes);

  // The directory of a tree list line; null (and *reason set) when it cannot be opened.
  // One on another file system that is not entered gives null with *reason empty.
  std::shared_ptr<platform::DirHandle> Open(const std::string& dir, std::string* reason);
  const std::string& root() const { return root_; }
  const std::string& root_listed() const { return root_listed_; }
  void Clear();

 private:
  // Reopens the directory of `depth` when it was let go.
  bool Hold(size_t depth, std::string* reason);
  // Lets the shallowest go while more than held_most_ below the root are open.
  void LetGo();

  const std::string root_;
  const std::string root_listed_;
  const size_t held_most_ = fs::HeldDirectories();
  fs::VolumeBorder border_;
  std::vector<std::string>* other_volumes_;
  // Root, then each component below it (null when let go), and their devices. A handle
  // stays open while a planned directory holds it.
  std::vector<std::shared_ptr<platform::DirHandle>> handles_;
  std::vector<std::string> names_;
  std::vector<uint64_t> devices_;
};

}  // namespace scan
