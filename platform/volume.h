#pragma once
// Mounted file systems: which there are, which holds a path, the figures of one, and
// what can be learnt about the block device behind a mount (label, UUID, removable, optical).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A mounted file system as the rest of the program sees it.
struct Mount {
  std::string mount_point;  // "/" or "/media/u/USB" (no trailing "/"); "C:\\" on Windows
  std::string root;         // part of the file system seen here; "/" unless bind-mounted
  std::string source;       // "/dev/sda1", "host:/export", "//host/share", "tmpfs"
  std::string fs_type;      // "ext4", "nfs4", "fuse.sshfs"; "NTFS" on Windows
  uint64_t device = 0;      // as FileInfo::device holds it for files on this file system
  bool read_only = false;
  // What QueryFileSystem gave as fsid for the mount point, taken with the table that named
  // the mount; 0 when not known. Linux's MountOfPath fills it, MountedFileSystems does not.
  uint64_t fsid = 0;
};

// Every mounted file system, in mount order; empty when none can be read.
std::vector<Mount> MountedFileSystems();

// The mounted file system that holds `path` (absolute; its links are resolved first).
// False for an empty or relative path and when no mount holds it.
bool MountOfPath(const std::string& path, Mount* mount);

// The type of the file system whose files carry `device`; empty when no mount shows it.
std::string FileSystemTypeOf(const std::vector<Mount>& mounts, uint64_t device);

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
DeviceFacts QueryDevice(const Mount& mount, const DeviceDirs& dirs = DeviceDirs());

// Whether the disk behind the mount spins: its queue/rotational is 1 (a partition
// answers for its disk). False without a device or when it cannot be read. Opens no
// device.
bool IsRotational(const Mount& mount, const DeviceDirs& dirs = DeviceDirs());

// Decodes udev's "\x20"-style escapes in a by-label link name.
std::string DecodeUdevName(std::string_view name);

}  // namespace platform
