// Volume facts while Linux mounts and unmounts beside the look-up (root only).
#include <errno.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "common/temp_tree.h"
#include "fs/volume_info.h"
#include "platform/paths.h"

namespace fs {
namespace {

// An automounter or a plugged disk mounts and unmounts while volumes are looked up: each
// answer is of one file system, the one mounted at the folder or the one below it, never
// the mount point of the one with the figures of the other.
TEST(VolumeInfoBesideMountsTest, AMountComingAndGoingIsNeverMixedWithTheOneBelow) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a file system";
  testing_support::TempTree tree;
  const std::string at = platform::ResolveExisting(tree.Dir("mnt"));
  constexpr uint64_t kMountedBytes = 4 << 20;  // what "size=4m" makes
  if (mount("tmpfs", at.c_str(), "tmpfs", 0, "size=4m") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here";
  }
  std::atomic<bool> done{false};
  std::thread mounter([&] {
    for (int i = 0; i < 1000; ++i) {
      // Busy while a look-up is inside it, for as long as a system call takes.
      while (umount2(at.c_str(), 0) != 0 && errno == EBUSY) {
      }
      if (mount("tmpfs", at.c_str(), "tmpfs", 0, "size=4m") != 0) break;
    }
    while (umount2(at.c_str(), 0) != 0 && errno == EBUSY) {
    }
    done = true;
  });
  std::vector<std::string> mixed;
  while (!done) {
    TVolumeInfo info;
    if (!GetVolumeInfoSx(at, &info)) {
      mixed.push_back("no volume");
      continue;
    }
    const bool mounted_there = info.root_path == at;
    if (mounted_there != (info.total_bytes == kMountedBytes)) {
      mixed.push_back(info.root_path + " of " + std::to_string(info.total_bytes) + " bytes");
    }
  }
  mounter.join();
  EXPECT_EQ(mixed, std::vector<std::string>());
}

}  // namespace
}  // namespace fs
