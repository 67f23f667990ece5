#pragma once
// A small ext4 file system in an image file, mounted through a loop device, as a disk
// a test can plug in, clone and damage behind the page cache. Needs root and the e2fs
// tools; Mount says why when it cannot.

#include <string>

namespace testing_support {

class LoopVolume {
 public:
  // `image` is made with `label` and `uuid` (empty: a new one) unless it exists.
  LoopVolume(std::string image, std::string label, std::string uuid = {});
  // Unmounts it, when mounted.
  ~LoopVolume();
  LoopVolume(const LoopVolume&) = delete;
  LoopVolume& operator=(const LoopVolume&) = delete;

  // Mounts the image at the directory `at` (ending with "/"). False with the reason in
  // `why` when it cannot be made or mounted here.
  bool Mount(const std::string& at, std::string* why);
  void Unmount();
  // A byte for byte copy of the image at `image`, relabelled `label`, as `dd` and a
  // label tool make one: same serial, another label. False with `why`.
  bool CloneTo(const std::string& image, const std::string& label, std::string* why) const;
  // Overwrites the bytes `from` where they lie in the image with `to` (as long), behind
  // the file system and its page cache. False when they are not found once.
  bool Damage(const std::string& from, const std::string& to) const;

 private:
  std::string image_;
  std::string label_;
  std::string uuid_;
  std::string mounted_at_;
};

}  // namespace testing_support
