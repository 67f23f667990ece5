// verify with a catalogue on Linux: finding its volume wherever it is mounted now, and
// what stands at the search path named as it is.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/catalogue_verify_fixture.h"
#include "common/loop_volume.h"
#include "fs/volume_info.h"
#include "lists/list_names.h"

namespace catalogue_verify_tests {
namespace {

// Empty when a small tmpfs is mounted at `dir`, else why it is not.
std::string MountTmpfs(const std::string& dir) {
  if (geteuid() != 0) return "needs root to mount a file system";
  if (mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=4m") == 0) return {};
  return std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
}

TEST_F(CatalogueVerifyTest, FindsTheVolumeMountedAtAnotherPath) {
  const std::string first = tree_.Dir("first");
  const std::string second = tree_.Dir("second");
  if (const std::string why = MountTmpfs(first); !why.empty()) GTEST_SKIP() << why;
  tree_.File("first/photos/a.jpg", "a picture of a tree");
  tree_.File("first/photos/b.jpg", "a picture of a lake");
  const std::string list = ScanInto("Moving", first + "photos/", {"--label", "MOVING"});
  // The same file system at the second place alone, as a disk plugged in elsewhere.
  ASSERT_EQ(mount(first.c_str(), second.c_str(), nullptr, MS_BIND, nullptr), 0);
  ASSERT_EQ(umount2(first.c_str(), MNT_DETACH), 0);
  const CommandResult volumes = Cli({"volumes", "--catalogue", catalogue_});
  const CommandResult r = Cli({"verify", list});
  umount2(second.c_str(), MNT_DETACH);

  EXPECT_TRUE(volumes.out.ends_with("  mounted at " + second + "\n")) << volumes.out;
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  const std::string said = r.err.substr(0, r.err.find('\n') + 1);
  // The label is the one found there (a tmpfs has none), not the one the list was given.
  EXPECT_TRUE(said.starts_with("checker-cli: " + first + "photos/ is gone; verifying " + list +
                               " on its volume \"\" (serial "))
      << r.err;
  EXPECT_TRUE(said.ends_with(") at " + second + "photos/\n")) << r.err;
}

// A disk and its clone (same serial, another label) mounted at once: verify and volumes
// take the disk by its label, and name every candidate when the label does not decide.
TEST_F(CatalogueVerifyTest, TellsADiskFromItsClone) {
  testing_support::LoopVolume disk(tree_.Path("disk.img"), "DISK");
  std::string why;
  if (!disk.Mount(tree_.Path("first/"), &why)) GTEST_SKIP() << why;
  tree_.File("first/photos/a.jpg", "a picture of a tree");
  tree_.File("first/photos/b.jpg", "a picture of a lake");
  const std::string list = ScanInto("Disk", tree_.Path("first/photos/"));
  disk.Unmount();
  testing_support::LoopVolume clone(tree_.Path("clone.img"), "CLONE");
  testing_support::LoopVolume other(tree_.Path("other.img"), "OTHER");
  ASSERT_TRUE(disk.CloneTo(tree_.Path("clone.img"), "CLONE", &why)) << why;
  ASSERT_TRUE(disk.CloneTo(tree_.Path("other.img"), "OTHER", &why)) << why;
  // The clone where the disk was, first in the mount table, with a difference of its own.
  ASSERT_TRUE(clone.Mount(tree_.Path("first/"), &why)) << why;
  Rot(tree_.Path("first/photos/b.jpg"), "a picture of a LAKE");
  ASSERT_TRUE(disk.Mount(tree_.Path("b_disk/"), &why)) << why;
  fs::TVolumeInfo info;
  ASSERT_TRUE(fs::GetVolumeInfoSx(tree_.Path("b_disk/"), &info));
  const std::string serial = lists::SerialNumberText(info.serial_number);
  CommandResult volumes = Cli({"volumes", "--catalogue", catalogue_});
  CommandResult r = Cli({"verify", list});
  EXPECT_TRUE(volumes.out.ends_with("  mounted at " + tree_.Path("b_disk/") + "\n")) << volumes.out;
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(r.err.starts_with(
      "checker-cli: " + tree_.Path("first/photos/") + " is on \"CLONE\" (serial " + serial +
      "), another volume with its serial; verifying " + list + " on its volume \"DISK\" (serial " +
      serial + ") at " + tree_.Path("b_disk/photos/") + "\n"))
      << r.err;

  // The disk gone, two clones: neither is the list's by its label.
  disk.Unmount();
  ASSERT_TRUE(other.Mount(tree_.Path("c_other/"), &why)) << why;
  volumes = Cli({"volumes", "--catalogue", catalogue_});
  const std::string candidates = "\"CLONE\" (serial " + serial + ") at " + tree_.Path("first/") +
                                 ", \"OTHER\" (serial " + serial + ") at " + tree_.Path("c_other/");
  ExpectRefused(list, "cannot verify " + list +
                          ": 2 volumes have the serial of its volume \"DISK\" "
                          "(serial " +
                          serial + "): " + candidates + "; give --path");
  EXPECT_TRUE(volumes.out.ends_with("  2 volumes with its serial: \"CLONE\" at " +
                                    tree_.Path("first/") + ", \"OTHER\" at " +
                                    tree_.Path("c_other/") + "\n"))
      << volumes.out;
}

// Only a folder of the volume bound elsewhere: volumes says which folder, and for a list
// it does not hold, "not mounted", as verify finds it.
TEST_F(CatalogueVerifyTest, AFolderMountedAloneIsNoMountOfTheVolume) {
  const std::string first = tree_.Dir("first");
  const std::string second = tree_.Dir("second");
  if (const std::string why = MountTmpfs(first); !why.empty()) GTEST_SKIP() << why;
  tree_.File("first/photos/a.jpg", "a picture of a tree");
  tree_.File("first/notes/b.txt", "a note");
  ScanInto("Photos", first + "photos/", {"--label", "PART"});
  ScanInto("Whole", first, {"--label", "PART"});
  ASSERT_EQ(mount((first + "photos").c_str(), second.c_str(), nullptr, MS_BIND, nullptr), 0);
  ASSERT_EQ(umount2(first.c_str(), MNT_DETACH), 0);
  const CommandResult volumes = Cli({"volumes", "--catalogue", catalogue_});
  const CommandResult whole = Cli({"verify", catalogue_ + "Whole.v00"});
  umount2(second.c_str(), MNT_DETACH);

  const std::vector<std::string> lines = [&] {
    std::vector<std::string> found;
    for (size_t at = 0; at < volumes.out.size();) {
      const size_t end = volumes.out.find('\n', at);
      found.push_back(volumes.out.substr(at, end - at));
      at = end + 1;
    }
    return found;
  }();
  ASSERT_EQ(lines.size(), 2u) << volumes.out;
  EXPECT_TRUE(lines[0].starts_with("Photos ") && lines[0].ends_with("  its photos/ at " + second))
      << volumes.out;
  EXPECT_TRUE(lines[1].starts_with("Whole ") && lines[1].ends_with("  not mounted")) << volumes.out;
  EXPECT_EQ(whole.exit_code, 2);
  EXPECT_NE(whole.err.find(first + " is on another volume and its volume \"PART\""),
            std::string::npos)
      << whole.err;
}

// What stands at the search path is named as it is: a symbolic link is no other volume,
// and a folder gone from its volume is not verified there.
TEST_F(CatalogueVerifyTest, PlaceMessagesSayWhatWasFound) {
  const std::string data = tree_.Dir("data");
  tree_.File("data/a.txt", "some words");
  fs::TVolumeInfo info;
  if (!fs::GetVolumeInfoSx(data, &info) || info.serial_number == 0) {
    GTEST_SKIP() << data << " is on a volume without a serial number";
  }
  const std::string volume =
      "\"" + info.label + "\" (serial " + lists::SerialNumberText(info.serial_number) + ")";
  const std::string list = ScanInto("Here", data);
  std::filesystem::rename(tree_.Path("data"), tree_.Path("moved"));
  std::filesystem::create_directory_symlink("moved", tree_.Path("data"));
  ExpectRefused(list, "cannot verify " + data +
                          ": is a symbolic link to a directory; give the directory itself");

  std::filesystem::remove(tree_.Path("data"));
  ExpectRefused(list, "cannot verify " + list + ": " + data + " is gone from its volume " + volume +
                          "; give --path");
}

}  // namespace
}  // namespace catalogue_verify_tests
