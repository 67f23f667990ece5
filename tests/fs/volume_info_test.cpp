#include "fs/volume_info.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/temp_tree.h"
#include "common/test_os.h"
#include "platform/paths.h"

namespace fs {

namespace {

using testing_support::TempTree;

TEST(VolumeMappingTest, SerialNumberFromTheUuid) {
  // FAT and exFAT: the serial itself.
  EXPECT_EQ(fs::SerialFromUuid("ABCD-1234", 0), 0xABCD1234u);
  EXPECT_EQ(fs::SerialFromUuid("1234-abcd", 0), 0x1234ABCDu);
  // NTFS: 16 hex digits, the low 32 bits.
  EXPECT_EQ(fs::SerialFromUuid("0123456789ABCDEF", 0), 0x89ABCDEFu);
  // Anything else: the first 8 hex digits.
  EXPECT_EQ(fs::SerialFromUuid("1b4e28ba-2fa1-11d2-883f-0016d3cca427", 0), 0x1B4E28BAu);
  EXPECT_EQ(fs::SerialFromUuid("2020-01-02-03-04-05-00", 0), 0x20200102u);
  EXPECT_EQ(fs::SerialFromUuid("abc", 0), 0xABCu);
  // No UUID: the two halves of the fsid folded.
  EXPECT_EQ(fs::SerialFromUuid("", 0x1122334455667788ull), 0x11223344u ^ 0x55667788u);
  EXPECT_EQ(fs::SerialFromUuid("", 0x00000000DEADBEEFull), 0xDEADBEEFu);
  EXPECT_EQ(fs::SerialFromUuid("--", 7), 7u);
}

TEST(VolumeMappingTest, NetworkHostFromTheMountSource) {
  EXPECT_EQ(fs::NetworkHostOf("//nas/photos"), "nas");
  EXPECT_EQ(fs::NetworkHostOf("//nas"), "nas");
  EXPECT_EQ(fs::NetworkHostOf("\\\\nas\\photos"), "nas");
  EXPECT_EQ(fs::NetworkHostOf("nas.local:/export/photos"), "nas.local");
  EXPECT_EQ(fs::NetworkHostOf("user@host.example:dir"), "host.example");
  EXPECT_EQ(fs::NetworkHostOf("user@host:"), "host");
  EXPECT_EQ(fs::NetworkHostOf("10.0.0.5:/srv"), "10.0.0.5");
  EXPECT_EQ(fs::NetworkHostOf("[fe80::1]:/export"), "fe80::1");
  EXPECT_EQ(fs::NetworkHostOf("mon1,mon2:6789:/"), "mon1");
  EXPECT_EQ(fs::NetworkHostOf("/dev/sda1"), "");
  EXPECT_EQ(fs::NetworkHostOf("tmpfs"), "");
  EXPECT_EQ(fs::NetworkHostOf(""), "");
  EXPECT_EQ(fs::NetworkHostOf("[broken:/x"), "");
}

TEST(VolumeMappingTest, KindsAndDriveTypes) {
  for (const char* type : {"nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "fuse.sshfs", "afs",
                           "ceph", "glusterfs", "fuse.rclone"}) {
    EXPECT_TRUE(fs::IsNetworkFileSystem(type)) << type;
    EXPECT_EQ(fs::DriveTypeOf(type, false, false), fs::kDriveRemote) << type;
  }
  for (const char* type : {"ext4", "btrfs", "vfat", "overlay", "fuse", "nfsd", ""}) {
    EXPECT_FALSE(fs::IsNetworkFileSystem(type)) << type;
  }
  EXPECT_EQ(fs::DriveTypeOf("tmpfs", false, false), fs::kDriveRamDisk);
  EXPECT_EQ(fs::DriveTypeOf("ramfs", true, false), fs::kDriveRamDisk);
  EXPECT_EQ(fs::DriveTypeOf("iso9660", true, true), fs::kDriveCdRom);
  EXPECT_EQ(fs::DriveTypeOf("udf", true, true), fs::kDriveCdRom);
  // An image file mounted by loop is not a drive with a disc.
  EXPECT_EQ(fs::DriveTypeOf("iso9660", false, false), fs::kDriveFixed);
  EXPECT_EQ(fs::DriveTypeOf("vfat", true, false), fs::kDriveRemovable);
  EXPECT_EQ(fs::DriveTypeOf("ext4", false, false), fs::kDriveFixed);
}

TEST(VolumeMappingTest, FileSystemNameIsFiveCharactersUpperCase) {
  EXPECT_EQ(fs::FileSystemNameOf("ext4"), "EXT4");
  EXPECT_EQ(fs::FileSystemNameOf("btrfs"), "BTRFS");
  EXPECT_EQ(fs::FileSystemNameOf("tmpfs"), "TMPFS");
  EXPECT_EQ(fs::FileSystemNameOf("iso9660"), "ISO96");
  EXPECT_EQ(fs::FileSystemNameOf("fuse.sshfs"), "FUSE.");
  EXPECT_EQ(fs::FileSystemNameOf(""), "");
}

class VolumeInfoTest : public ::testing::Test {
 protected:
  TempTree tree_;
};

TEST_F(VolumeInfoTest, EmptyAndRelativePathsFailWithAZeroRecord) {
  TVolumeInfo info;
  info.label = "old";
  info.serial_number = 99;
  EXPECT_FALSE(GetVolumeInfoSx("", &info));
  EXPECT_EQ(info.label, "");
  EXPECT_EQ(info.serial_number, 0u);
  EXPECT_EQ(info.root_kind, fs::kRootKindNone);
  info.root_path = "old";
  EXPECT_FALSE(GetVolumeInfoSx("tmp/x", &info));
  // A drive's root is relative on Linux; on Windows a drive without its root is.
  EXPECT_FALSE(GetVolumeInfoSx(
      platform::kNativePathStyle == platform::PathStyle::kWindows ? "C:tmp" : "C:\\", &info));
  EXPECT_EQ(info.root_path, "");
  EXPECT_EQ(info.total_bytes, 0u);
}

TEST_F(VolumeInfoTest, TheTempDirsVolumeIsFilledIn) {
  const std::string dir = tree_.Dir("Photos/2020");
  TVolumeInfo info;
  ASSERT_TRUE(GetVolumeInfoSx(dir, &info));
  const std::string resolved = platform::ResolveExisting(dir);
  ASSERT_FALSE(info.root_path.empty());
  EXPECT_EQ(info.root_path.back(), testing_support::Native("/").back());
  EXPECT_EQ(resolved.rfind(info.root_path, 0), 0u) << info.root_path;
  EXPECT_TRUE(info.root_kind == fs::kRootKindDrive || info.root_kind == fs::kRootKindNetwork);
  EXPECT_GE(info.drive_type, fs::kDriveRemovable);
  EXPECT_LE(info.drive_type, fs::kDriveRamDisk);
  EXPECT_FALSE(info.file_system_name.empty());
  EXPECT_LE(info.file_system_name.size(), fs::kFileSystemNameLength);
  EXPECT_FALSE(info.source.empty());
  EXPECT_GT(info.total_bytes, 0u);
  EXPECT_GE(info.total_bytes, info.total_free_bytes);
  EXPECT_GE(info.total_free_bytes, info.free_bytes_for_caller);
  EXPECT_GT(info.max_name_length, 0u);
  EXPECT_GT(info.bytes_per_sector, 0u);
  EXPECT_GE(info.sectors_per_cluster, 1u);
  EXPECT_GT(info.total_clusters, 0u);
  EXPECT_GE(info.total_clusters, info.free_clusters);

  // A file, a missing tail and a link into the tree all land on the same volume.
  const std::string file = tree_.File("Photos/2020/a.jpg", "x");
  std::vector<std::string> others = {file, dir + testing_support::Native("missing/deeper/")};
  // Windows makes links only with a right users lack.
  if (testing_support::MakeSymlink(dir, tree_.Path("alias")) == 0) {
    others.insert(others.end(), {tree_.Path("alias/"), tree_.Path("alias")});
  }
  for (const std::string& other : others) {
    TVolumeInfo again;
    ASSERT_TRUE(GetVolumeInfoSx(other, &again)) << other;
    EXPECT_EQ(again.root_path, info.root_path) << other;
    EXPECT_EQ(again.serial_number, info.serial_number) << other;
    EXPECT_EQ(again.label, info.label) << other;
    EXPECT_EQ(again.file_system_name, info.file_system_name) << other;
  }
}

TEST_F(VolumeInfoTest, TheSystemRootIsItsOwnRoot) {
  TVolumeInfo info;
  const std::string root = testing_support::SystemRoot();
  ASSERT_TRUE(GetVolumeInfoSx(root, &info));
  EXPECT_EQ(info.root_path, root);
  // The column just after the root's final separator.
  EXPECT_EQ(fs::RootColumn(root), static_cast<int>(root.size()) + 1);
}

TEST_F(VolumeInfoTest, RootColumnCountsTheLeadingPartThatIsTheMountPoint) {
  const std::string volume = tree_.Dir("vol/Photos/2020");
  const std::string mount_point = tree_.Path("vol");
  std::filesystem::create_directory_symlink(mount_point, tree_.Path("alias"));
  const int below_vol = static_cast<int>(tree_.Path("vol/").size()) + 1;
  const int below_alias = static_cast<int>(tree_.Path("alias/").size()) + 1;

  EXPECT_EQ(fs::RootColumnFor(tree_.Path("vol/Photos/2020/"), mount_point), below_vol);
  EXPECT_EQ(fs::RootColumnFor(tree_.Path("vol/Photos/2020"), mount_point + "/"), below_vol);
  EXPECT_EQ(fs::RootColumnFor(tree_.Path("vol/"), mount_point), below_vol);
  EXPECT_EQ(fs::RootColumnFor(tree_.Path("vol"), mount_point), below_vol);
  EXPECT_EQ(fs::RootColumnFor(tree_.Path("alias/Photos/"), mount_point), below_alias);
  // Not below the mount point as written or resolved: the root is "/".
  EXPECT_EQ(fs::RootColumnFor(tree_.Path("other/"), mount_point), 2);
  EXPECT_EQ(fs::RootColumnFor("/", "/"), 2);
  EXPECT_EQ(fs::RootColumnFor("/anything/below/", "/"), 2);
  EXPECT_EQ(fs::RootColumnFor("/media/u/USB/Photos/", "/media/u/USB"), 14);
  EXPECT_EQ(fs::RootColumnFor("/media/u/USB/Photos/", "/media/u/USB/"), 14);
  EXPECT_EQ(fs::RootColumnFor("/media/u/USB", "/media/u/USB"), 14);

  // The real mount of the temp dir.
  TVolumeInfo info;
  ASSERT_TRUE(GetVolumeInfoSx(volume, &info));
  const std::string resolved = platform::ResolveExisting(volume);
  const int expected = info.root_path == "/" ? 2 : static_cast<int>(info.root_path.size()) + 1;
  if (resolved == volume) {
    EXPECT_EQ(fs::RootColumn(volume), expected);
  }
  EXPECT_EQ(fs::RootColumn(""), 2);
  EXPECT_EQ(fs::RootColumn("relative/dir"), 2);
}

}  // namespace

}  // namespace fs
