#pragma once
// Mounted file systems: the mount table, the figures of one file system, and what can
// be learnt about the block device behind a mount (label, UUID, removable, optical).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One line of /proc/self/mountinfo. Text fields are unescaped.
struct MountEntry {
  int id = 0;
  int parent_id = 0;
  uint32_t major = 0;
  uint32_t minor = 0;
  std::string root;         // part of the file system seen here; "/" unless bind-mounted
  std::string mount_point;  // no trailing "/" except for "/" itself
  std::string options;      // per-mount options ("rw,relatime")
  std::string fs_type;      // "ext4", "nfs4", "fuse.sshfs"
  std::string source;       // "/dev/sda1", "host:/export", "//host/share", "tmpfs"
};
using MountTable = std::vector<MountEntry>;

// Undoes the kernel's octal escapes ("\040" blank, "\011" tab, "\012" newline, "\134"
// backslash). A backslash not followed by three octal digits stays as it is.
std::string UnescapeMountField(std::string_view field);

// Parses mountinfo text. Lines without the "-" separator or with too few fields are
// passed over.
MountTable ParseMountInfo(std::string_view text);

// Index of the entry that holds `path` (absolute, links already resolved). Going down
// the tree of mounts from the top, each step takes the child with the longest mount point
// that is the path or a leading run of its components ("/mnt/a" holds "/mnt/a/x" but not
// "/mnt/ab"), the later one between equal mount points (it is mounted over the other). So
// a mount hidden by a later mount over its parent directory is never chosen. -1 when no
// mount holds the path (an empty or relative path).
int FindMount(const MountTable& table, std::string_view path);

// Reads the running system's table; false when it cannot be read or is empty.
bool ReadMountTable(MountTable* table);

// statvfs figures of the file system that holds `path`. Counts are in fragments.
struct FileSystemFigures {
  uint64_t block_size = 0;
  uint64_t fragment_size = 0;
  uint64_t total_blocks = 0;
  uint64_t free_blocks = 0;
  uint64_t available_blocks = 0;  // free for an unprivileged caller
  uint64_t fsid = 0;
  uint64_t flags = 0;  // ST_RDONLY = 1, ST_NOSUID = 2, ...
  uint64_t max_name_length = 0;
};
bool QueryFileSystem(const std::string& path, FileSystemFigures* figures);

// Where the device facts are looked up; tests point these at a fake tree.
struct DeviceDirs {
  std::string sys = "/sys/";
  std::string dev = "/dev/";
};

// What the block device behind a mount tells. Everything stays empty or false when the
// mount has no device (tmpfs, overlay, network) or the device cannot be read.
struct DeviceFacts {
  std::string device;  // the device node, links resolved
  std::string label;
  std::string uuid;
  bool removable = false;  // <disk>/removable is 1
  bool optical = false;    // an "sr" disk or a SCSI device of type 5
};

// Label and UUID come from libblkid, which needs read access to the device; when that
// fails they come from the disk/by-label and disk/by-uuid links under `dirs.dev`.
// Never opens anything but a block device or a regular file.
DeviceFacts QueryDevice(const MountEntry& mount, const DeviceDirs& dirs = DeviceDirs());

// Whether the disk behind the mount spins: its queue/rotational is 1 (a partition
// answers for its disk). False without a device or when it cannot be read. Opens no
// device.
bool IsRotational(const MountEntry& mount, const DeviceDirs& dirs = DeviceDirs());

// Decodes udev's "\x20"-style escapes in a by-label link name.
std::string DecodeUdevName(std::string_view name);

}  // namespace platform
