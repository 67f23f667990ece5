#pragma once
// The volume that holds a path: its root (the mount point), label, serial number,
// file system and space figures, as the list names and the list headers need them.

#include <cstdint>
#include <string>
#include <string_view>

namespace fs {

// Root kinds.
constexpr uint16_t kRootKindNone = 0;
constexpr uint16_t kRootKindDrive = 8;     // a local file system
constexpr uint16_t kRootKindNetwork = 72;  // a network file system

// Drive types.
constexpr uint16_t kDriveUnknown = 0;
constexpr uint16_t kDriveNoRoot = 1;
constexpr uint16_t kDriveRemovable = 2;
constexpr uint16_t kDriveFixed = 3;
constexpr uint16_t kDriveRemote = 4;
constexpr uint16_t kDriveCdRom = 5;
constexpr uint16_t kDriveRamDisk = 6;

// Characters kept of the file-system type.
constexpr size_t kFileSystemNameLength = 5;

// Root column of a search path in the list formats: one more than the position (from 1)
// of the "/" that ends the shortest leading part of the path that is, once its links are
// resolved, the path's mount point. 2 when no leading part is (the root is "/" then),
// and also when the mount cannot be found. "/" gives 2; "/media/u/USB/Photos/" on a
// volume mounted at "/media/u/USB" gives 14. The path need not end with "/".
int RootColumn(const std::string& search_path);
// The same for a known mount point (with or without a trailing "/").
int RootColumnFor(const std::string& search_path, const std::string& mount_point);

// Whether the volume that holds `path` sits on a spinning disk, where reading many files
// at once makes the heads seek. False for network file systems, for file systems without
// a device, and when nothing can be learnt. Keeps no state; any thread.
bool OnRotationalDisk(const std::string& path);

// The mapping rules, exposed for the tests and the command line.
// True for network file-system types (nfs, cifs, fuse.sshfs, ...).
bool IsNetworkFileSystem(std::string_view fs_type);
// Host of a network mount source; empty when the source names none.
std::string NetworkHostOf(std::string_view source);
// Serial number from a file-system UUID; `fsid` (statvfs) when the UUID is empty or
// holds no hex digits: low 32 bits xor high 32 bits.
uint32_t SerialFromUuid(std::string_view uuid, uint64_t fsid);
// Drive type of a mount.
uint16_t DriveTypeOf(std::string_view fs_type, bool removable, bool optical);
// File-system name field: first 5 characters of the type, upper case.
std::string FileSystemNameOf(std::string_view fs_type);

// One volume. All fields are zero or empty until GetVolumeInfoSx fills them.
struct TVolumeInfo {
  uint16_t root_kind = fs::kRootKindNone;
  uint32_t serial_number = 0;
  uint16_t file_system_flags = 0;  // low 16 bits of the mount flags (1 = read-only)
  uint16_t drive_type = fs::kDriveUnknown;
  uint64_t free_bytes_for_caller = 0;
  uint64_t total_bytes = 0;
  uint64_t total_free_bytes = 0;
  std::string label;             // empty when none can be read
  std::string root_path;         // the mount point with a trailing "/", never cut
  std::string file_system_name;  // first 5 characters of the type, upper case ("EXT4")
  uint16_t max_name_length = 0;
  uint32_t bytes_per_sector = 0;     // fragment size
  uint32_t sectors_per_cluster = 0;  // block size / fragment size, at least 1
  uint32_t total_clusters = 0;       // counts in blocks, held at 0xFFFFFFFF when larger
  uint32_t free_clusters = 0;        // blocks free for the caller
  // Not in the classic record: where the mount comes from, and the host of a network
  // source ("//host/share", "host:/export", "user@host:dir"), empty otherwise.
  std::string source;
  std::string network_host;
};

// Fills `info` for the volume that holds `path`: the mount with the longest mount point
// that is a prefix of the path after resolving links of its existing part. False (the
// record zeroed or partly filled) for an empty or relative path, when the mount table
// cannot be read, or when the file system's figures cannot be queried. Shows nothing.
// Keeps no state; any thread.
bool GetVolumeInfoSx(const std::string& path, TVolumeInfo* info);

}  // namespace fs
