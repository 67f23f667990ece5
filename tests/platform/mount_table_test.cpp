#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "common/temp_tree.h"
#include "common/test_os.h"
#include "platform/files.h"
#include "platform/mountinfo.h"
#include "platform/paths.h"

namespace {

using platform::FindMount;
using platform::MountEntry;
using platform::MountTable;
using platform::ParseMountInfo;
using platform::UnescapeMountField;
using testing_support::TempTree;

// A table as a desktop with a USB stick, shares and containers shows it.
constexpr const char kFixture[] =
    "26 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda2 rw,errors=remount-ro\n"
    "30 26 0:27 / /tmp rw,nosuid,nodev shared:5 - tmpfs tmpfs rw,size=8g\n"
    "41 26 8:17 / /media/u/My\\040Disk rw,nosuid,nodev shared:40 - vfat /dev/sdb1 "
    "rw,fmask=0022\n"
    "42 26 254:0 /srv/data /mnt/bind rw,relatime shared:1 - ext4 /dev/vda2 rw\n"
    "43 26 0:50 / /mnt/nfs rw,relatime shared:41 - nfs4 nas.local:/export/photos "
    "rw,vers=4.2,addr=10.0.0.5\n"
    "44 26 0:51 / /mnt/cifs rw,relatime shared:42 - cifs //nas/photos rw,vers=3.1.1\n"
    "45 26 0:52 / /mnt/ssh rw,nosuid,nodev,relatime shared:43 - fuse.sshfs "
    "user@host.example:dir rw,user_id=1000\n"
    "46 26 0:53 / /var/lib/docker/overlay2/abc/merged rw,relatime - overlay overlay "
    "rw,lowerdir=/l,upperdir=/u,workdir=/w\n"
    "47 26 0:54 / /mnt/tab\\011and\\012line\\134x rw - tmpfs none rw\n";

TEST(MountTableTest, UnescapesTheKernelsOctalEscapes) {
  EXPECT_EQ(UnescapeMountField("/media/u/My\\040Disk"), "/media/u/My Disk");
  EXPECT_EQ(UnescapeMountField("a\\011b\\012c\\134d"), "a\tb\nc\\d");
  EXPECT_EQ(UnescapeMountField("plain"), "plain");
  EXPECT_EQ(UnescapeMountField(""), "");
  // Not three octal digits, or a value above one byte: kept as written.
  EXPECT_EQ(UnescapeMountField("end\\04"), "end\\04");
  EXPECT_EQ(UnescapeMountField("x\\089"), "x\\089");
  EXPECT_EQ(UnescapeMountField("x\\400"), "x\\400");
  EXPECT_EQ(UnescapeMountField("\\"), "\\");
  EXPECT_EQ(UnescapeMountField("\\134040"), "\\040");
}

TEST(MountTableTest, ParsesEveryKindOfMount) {
  const MountTable table = ParseMountInfo(kFixture);
  ASSERT_EQ(table.size(), 9u);

  EXPECT_EQ(table[0].id, 26);
  EXPECT_EQ(table[0].parent_id, 1);
  EXPECT_EQ(table[0].major, 254u);
  EXPECT_EQ(table[0].minor, 0u);
  EXPECT_EQ(table[0].root, "/");
  EXPECT_EQ(table[0].mount_point, "/");
  EXPECT_EQ(table[0].options, "rw,relatime");
  EXPECT_EQ(table[0].fs_type, "ext4");
  EXPECT_EQ(table[0].source, "/dev/vda2");

  EXPECT_EQ(table[1].fs_type, "tmpfs");
  EXPECT_EQ(table[1].source, "tmpfs");

  EXPECT_EQ(table[2].mount_point, "/media/u/My Disk");
  EXPECT_EQ(table[2].major, 8u);
  EXPECT_EQ(table[2].minor, 17u);
  EXPECT_EQ(table[2].fs_type, "vfat");

  EXPECT_EQ(table[3].root, "/srv/data");
  EXPECT_EQ(table[3].mount_point, "/mnt/bind");

  EXPECT_EQ(table[4].fs_type, "nfs4");
  EXPECT_EQ(table[4].source, "nas.local:/export/photos");
  EXPECT_EQ(table[5].fs_type, "cifs");
  EXPECT_EQ(table[5].source, "//nas/photos");
  EXPECT_EQ(table[6].fs_type, "fuse.sshfs");
  EXPECT_EQ(table[6].source, "user@host.example:dir");
  EXPECT_EQ(table[7].fs_type, "overlay");
  EXPECT_EQ(table[7].mount_point, "/var/lib/docker/overlay2/abc/merged");
  EXPECT_EQ(table[8].mount_point, "/mnt/tab\tand\nline\\x");
  EXPECT_EQ(table[8].source, "none");
}

TEST(MountTableTest, EntriesAsTheRestOfTheProgramSeesThem) {
  const MountTable table = ParseMountInfo(
      "26 1 254:0 / / rw,relatime - ext4 /dev/vda2 rw\n"
      "41 26 8:17 /photos /media/cd ro,nosuid - iso9660 /dev/sr0 ro\n"
      "42 26 0:50 / /mnt/a nosuid,ro - nfs4 nas:/x rw\n"
      "43 26 0:51 / /mnt/b rw,rootcontext=ro - tmpfs tmpfs rw\n");
  ASSERT_EQ(table.size(), 4u);
  const struct {
    std::string mount_point, root, source, fs_type;
    uint64_t device;
    bool read_only;
  } kWanted[] = {{"/", "/", "/dev/vda2", "ext4", (uint64_t{254} << 32), false},
                 {"/media/cd", "/photos", "/dev/sr0", "iso9660", (uint64_t{8} << 32) | 17, true},
                 {"/mnt/a", "/", "nas:/x", "nfs4", 50, true},
                 {"/mnt/b", "/", "tmpfs", "tmpfs", 51, false}};
  std::vector<platform::Mount> mounts;
  for (size_t i = 0; i < table.size(); ++i) {
    const platform::Mount mount = platform::MountOfEntry(table[i]);
    EXPECT_EQ(mount.mount_point, kWanted[i].mount_point);
    EXPECT_EQ(mount.root, kWanted[i].root);
    EXPECT_EQ(mount.source, kWanted[i].source);
    EXPECT_EQ(mount.fs_type, kWanted[i].fs_type);
    EXPECT_EQ(mount.device, kWanted[i].device) << mount.mount_point;
    EXPECT_EQ(mount.read_only, kWanted[i].read_only) << mount.mount_point;
    mounts.push_back(mount);
  }
  EXPECT_EQ(platform::FileSystemTypeOf(mounts, (uint64_t{8} << 32) | 17), "iso9660");
  EXPECT_EQ(platform::FileSystemTypeOf(mounts, 51), "tmpfs");
  EXPECT_EQ(platform::FileSystemTypeOf(mounts, 52), "");
}

TEST(MountTableTest, PassesOverMalformedLines) {
  const MountTable table = ParseMountInfo(
      "\n"
      "garbage\n"
      "1 2 3:4 / /no-separator rw ext4 /dev/x rw\n"
      "1 2 3:4 / /no-source rw - ext4\n"
      "x 2 3:4 / /bad-id rw - ext4 /dev/x rw\n"
      "1 2 34 / /bad-device rw - ext4 /dev/x rw\n"
      "1 2 3:4 / relative rw - ext4 /dev/x rw\n"
      "7 1 8:1 / /good/ rw - ext4 /dev/sda1 rw");  // no final newline, trailing "/"
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table[0].id, 7);
  EXPECT_EQ(table[0].mount_point, "/good");
  EXPECT_EQ(table[0].source, "/dev/sda1");
  EXPECT_TRUE(ParseMountInfo("").empty());
}

TEST(MountTableTest, ChoosesTheLongestMountPointOfWholeComponents) {
  const MountTable table = ParseMountInfo(kFixture);
  auto mount_of = [&table](const char* path) -> std::string {
    const int index = FindMount(table, path);
    return index < 0 ? "(none)" : table[static_cast<size_t>(index)].mount_point;
  };
  EXPECT_EQ(mount_of("/"), "/");
  EXPECT_EQ(mount_of("/srv/u/file"), "/");
  EXPECT_EQ(mount_of("/tmp"), "/tmp");
  EXPECT_EQ(mount_of("/tmp/"), "/tmp");
  EXPECT_EQ(mount_of("/tmp/x/y"), "/tmp");
  EXPECT_EQ(mount_of("/tmpfoo/x"), "/");
  EXPECT_EQ(mount_of("/media/u/My Disk/Photos/2020/"), "/media/u/My Disk");
  EXPECT_EQ(mount_of("/media/u/My Disk2"), "/");
  EXPECT_EQ(mount_of("/mnt/bind/a"), "/mnt/bind");
  EXPECT_EQ(mount_of("/mnt/nfs/2020"), "/mnt/nfs");
  EXPECT_EQ(mount_of("/mnt"), "/");
  EXPECT_EQ(mount_of("relative/path"), "(none)");
  EXPECT_EQ(mount_of(""), "(none)");
  EXPECT_EQ(FindMount(MountTable(), "/x"), -1);
}

TEST(MountTableTest, ALaterMountHidesWhatItCovers) {
  // /data mounted, /data/sub below it, then a new file system mounted over /data: the
  // old /data/sub is no longer reachable. A second mount on /data/sub stacks on it.
  const MountTable table = ParseMountInfo(
      "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
      "2 1 8:2 / /data rw - ext4 /dev/sda2 rw\n"
      "3 2 8:3 / /data/sub rw - ext4 /dev/sda3 rw\n"
      "4 1 8:4 / /data rw - ext4 /dev/sda4 rw\n"
      "5 1 8:5 / /stack rw - ext4 /dev/sda5 rw\n"
      "6 5 8:6 / /stack rw - ext4 /dev/sda6 rw\n"
      "7 4 8:7 / /data/new rw - ext4 /dev/sda7 rw\n");
  auto source_of = [&table](const char* path) -> std::string {
    const int index = FindMount(table, path);
    return index < 0 ? "(none)" : table[static_cast<size_t>(index)].source;
  };
  EXPECT_EQ(source_of("/data/sub/x"), "/dev/sda4");
  EXPECT_EQ(source_of("/data/new/x"), "/dev/sda7");
  EXPECT_EQ(source_of("/stack/x"), "/dev/sda6");
  EXPECT_EQ(source_of("/etc"), "/dev/sda1");
}

TEST(MountTableTest, ATableWithoutUsableParentsStillAnswersByPrefix) {
  // Every entry claims to be its own parent's child in a cycle: no top is found.
  const MountTable table = ParseMountInfo(
      "1 2 8:1 / / rw - ext4 /dev/sda1 rw\n"
      "2 1 8:2 / /data rw - ext4 /dev/sda2 rw\n");
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(FindMount(table, "/data/x"), 1);
  EXPECT_EQ(FindMount(table, "/etc"), 0);
}

TEST(MountTableTest, TheRunningSystemsTableHoldsTheTempDir) {
  ASSERT_FALSE(platform::MountedFileSystems().empty());
  platform::Mount root;
  ASSERT_TRUE(platform::MountOfPath("/", &root));
  EXPECT_EQ(root.mount_point, "/");

  TempTree tree;
  const std::string resolved = platform::ResolveExisting(tree.root());
  platform::Mount mount;
  ASSERT_TRUE(platform::MountOfPath(tree.root(), &mount));
  const std::string& mount_point = mount.mount_point;
  EXPECT_EQ(resolved.rfind(mount_point == "/" ? "/" : mount_point + "/", 0), 0u) << mount_point;

  platform::FileSystemFigures figures;
  ASSERT_TRUE(platform::QueryFileSystem(mount_point, &figures));
  EXPECT_GT(figures.fragment_size, 0u);
  EXPECT_GT(figures.block_size, 0u);
  EXPECT_GT(figures.total_blocks, 0u);
  EXPECT_GT(figures.max_name_length, 0u);
  EXPECT_FALSE(platform::QueryFileSystem(tree.Path("missing/dir"), &figures));
}

TEST(MountTableTest, DecodesUdevLinkNames) {
  EXPECT_EQ(platform::DecodeUdevName("My\\x20Disk"), "My Disk");
  EXPECT_EQ(platform::DecodeUdevName("a\\x2fb\\x5C"), "a/b\\");
  EXPECT_EQ(platform::DecodeUdevName("PLAIN"), "PLAIN");
  EXPECT_EQ(platform::DecodeUdevName("bad\\x2"), "bad\\x2");
  EXPECT_EQ(platform::DecodeUdevName("bad\\xzz"), "bad\\xzz");
}

// A fake /sys and /dev, built the way the kernel and udev lay them out.
class DeviceTest : public ::testing::Test {
 protected:
  void Link(const std::string& target, const std::string& relative) {
    std::filesystem::create_directories(std::filesystem::path(tree_.Path(relative)).parent_path());
    std::filesystem::create_symlink(target, tree_.Path(relative));
  }
  platform::DeviceDirs Dirs() const { return {tree_.Path("sys/"), tree_.Path("dev/")}; }
  platform::Mount Mount(uint32_t major, uint32_t minor, const std::string& source,
                        const std::string& type) const {
    platform::Mount mount;
    mount.device = platform::DeviceNumber(major, minor);
    mount.source = source;
    mount.fs_type = type;
    mount.mount_point = "/media/x";
    return mount;
  }
  TempTree tree_;
};

TEST_F(DeviceTest, APartitionOfARemovableDiskWithLabelLinks) {
  // Not a file system blkid knows, so label and UUID come from the links.
  tree_.File("dev/sdb1", std::string(4096, 'x'));
  tree_.File("sys/devices/usb1/block/sdb/removable", "1\n");
  tree_.File("sys/devices/usb1/block/sdb/sdb1/partition", "1\n");
  Link("../../devices/usb1/block/sdb/sdb1", "sys/dev/block/8:17");
  Link("../../sdb1", "dev/disk/by-label/My\\x20Disk");
  Link("../../sdb1", "dev/disk/by-uuid/ABCD-1234");
  tree_.File("dev/sdc1", "other");
  Link("../../sdc1", "dev/disk/by-label/OTHER");

  const platform::DeviceFacts facts =
      platform::QueryDevice(Mount(8, 17, tree_.Path("dev/sdb1"), "vfat"), Dirs());
  EXPECT_EQ(facts.device, platform::ResolveExisting(tree_.Path("dev/sdb1")));
  EXPECT_EQ(facts.label, "My Disk");
  EXPECT_EQ(facts.uuid, "ABCD-1234");
  EXPECT_TRUE(facts.removable);
  EXPECT_FALSE(facts.optical);
}

// The fields blkid needs to recognise an ext2 superblock.
std::string Ext2Image(const std::string& label) {
  std::string image(8192, '\0');
  const size_t sb = 1024;
  image[sb + 56] = '\x53';  // magic 0xEF53
  image[sb + 57] = '\xEF';
  image[sb + 76] = 1;  // dynamic revision
  const unsigned char uuid[16] = {0x1b, 0x4e, 0x28, 0xba, 0x2f, 0xa1, 0x11, 0xd2,
                                  0x88, 0x3f, 0x00, 0x16, 0xd3, 0xcc, 0xa4, 0x27};
  for (size_t i = 0; i < 16; ++i) image[sb + 104 + i] = static_cast<char>(uuid[i]);
  image.replace(sb + 120, label.size(), label);
  return image;
}

TEST_F(DeviceTest, TheSuperblockWinsOverLinks) {
  tree_.File("dev/sde1", Ext2Image("PHOTOS 2020"));
  Link("../../sde1", "dev/disk/by-label/STALE");
  const platform::DeviceFacts facts =
      platform::QueryDevice(Mount(0, 0, tree_.Path("dev/sde1"), "ext2"), Dirs());
  EXPECT_EQ(facts.label, "PHOTOS 2020");
  EXPECT_EQ(facts.uuid, "1b4e28ba-2fa1-11d2-883f-0016d3cca427");
}

TEST_F(DeviceTest, AWholeFixedDiskFoundByItsNumberAlone) {
  tree_.File("dev/vdc", "data");
  Link("../vdc", "dev/block/254:32");
  tree_.File("sys/devices/virtio3/block/vdc/removable", "0\n");
  Link("../../devices/virtio3/block/vdc", "sys/dev/block/254:32");

  const platform::DeviceFacts facts =
      platform::QueryDevice(Mount(254, 32, tree_.Path("dev/root"), "ext4"), Dirs());
  EXPECT_EQ(facts.device, platform::ResolveExisting(tree_.Path("dev/vdc")));
  EXPECT_EQ(facts.label, "");
  EXPECT_EQ(facts.uuid, "");
  EXPECT_FALSE(facts.removable);
  EXPECT_FALSE(facts.optical);
}

TEST_F(DeviceTest, OpticalDrivesByNameOrScsiType) {
  tree_.File("dev/sr0", "");
  tree_.File("sys/devices/ata2/block/sr0/removable", "1\n");
  Link("../../devices/ata2/block/sr0", "sys/dev/block/11:0");
  platform::DeviceFacts facts =
      platform::QueryDevice(Mount(11, 0, tree_.Path("dev/sr0"), "iso9660"), Dirs());
  EXPECT_TRUE(facts.optical);
  EXPECT_TRUE(facts.removable);

  tree_.File("dev/cdrw", "");
  tree_.File("sys/devices/usb2/block/sdd/removable", "1\n");
  tree_.File("sys/devices/usb2/block/sdd/device/type", "5\n");
  Link("../../devices/usb2/block/sdd", "sys/class/block/cdrw");
  facts = platform::QueryDevice(Mount(0, 0, tree_.Path("dev/cdrw"), "udf"), Dirs());
  EXPECT_TRUE(facts.optical);
}

TEST_F(DeviceTest, MountsWithoutADeviceTellNothing) {
  tree_.Dir("sys/dev/block");
  tree_.Dir("dev/disk/by-label");
  for (const platform::Mount& mount :
       {Mount(0, 27, "tmpfs", "tmpfs"), Mount(0, 50, "nas:/export", "nfs4"),
        Mount(0, 53, "overlay", "overlay"), Mount(0, 60, tree_.Dir("not-a-device"), "ext4")}) {
    const platform::DeviceFacts facts = platform::QueryDevice(mount, Dirs());
    EXPECT_EQ(facts.device, "") << mount.source;
    EXPECT_EQ(facts.label, "") << mount.source;
    EXPECT_EQ(facts.uuid, "") << mount.source;
    EXPECT_FALSE(facts.removable) << mount.source;
    EXPECT_FALSE(facts.optical) << mount.source;
  }
}

TEST_F(DeviceTest, NeverOpensAFifoNamedAsSource) {
  const std::string fifo = tree_.Path("fifo");
  ASSERT_EQ(testing_support::MakeFifo(fifo), 0);
  // Opening it for reading would block this test forever.
  const platform::DeviceFacts facts = platform::QueryDevice(Mount(0, 70, fifo, "ext4"), Dirs());
  EXPECT_EQ(facts.device, "");
  EXPECT_EQ(facts.label, "");
}

TEST_F(DeviceTest, SpinningDisksByTheirQueueAPartitionByItsDisk) {
  tree_.File("dev/sda1", "data");
  tree_.File("sys/devices/ata1/block/sda/queue/rotational", "1\n");
  tree_.File("sys/devices/ata1/block/sda/sda1/partition", "1\n");
  Link("../../devices/ata1/block/sda/sda1", "sys/dev/block/8:1");
  EXPECT_TRUE(platform::IsRotational(Mount(8, 1, tree_.Path("dev/sda1"), "ext4"), Dirs()));

  tree_.File("dev/nvme0n1", "data");
  tree_.File("sys/devices/pci0/nvme/nvme0n1/queue/rotational", "0\n");
  Link("../../devices/pci0/nvme/nvme0n1", "sys/dev/block/259:0");
  EXPECT_FALSE(platform::IsRotational(Mount(259, 0, tree_.Path("dev/nvme0n1"), "xfs"), Dirs()));

  // btrfs: an anonymous number, the source names the device.
  tree_.File("dev/sdb2", "data");
  tree_.File("sys/devices/ata2/block/sdb/queue/rotational", "1\n");
  tree_.File("sys/devices/ata2/block/sdb/sdb2/partition", "2\n");
  Link("../../devices/ata2/block/sdb/sdb2", "sys/class/block/sdb2");
  EXPECT_TRUE(platform::IsRotational(Mount(0, 44, tree_.Path("dev/sdb2"), "btrfs"), Dirs()));

  for (const platform::Mount& mount :
       {Mount(0, 27, "tmpfs", "tmpfs"), Mount(0, 50, "nas:/x", "nfs4")})
    EXPECT_FALSE(platform::IsRotational(mount, Dirs())) << mount.source;
}

}  // namespace
