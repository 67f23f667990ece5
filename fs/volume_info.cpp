#include "fs/volume_info.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "platform/paths.h"
#include "platform/volume.h"

namespace fs {

namespace {

std::string WithoutTrailingSlash(const std::string& path) {
  return std::string(platform::WithoutSeparator(path));
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Times a volume is asked for while its mount keeps changing, before it counts as gone.
constexpr int kAskings = 100;

uint32_t Saturate32(uint64_t value) {
  return value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
}

}  // namespace

bool IsNetworkFileSystem(std::string_view fs_type) {
  // clang-format off
  static constexpr std::array<std::string_view, 30> kNetworkTypes = {
      "nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "afs", "ceph", "glusterfs", "coda",
      "ncpfs", "lustre", "orangefs", "beegfs", "gpfs", "pvfs2", "virtiofs", "davfs",
      "fuse.sshfs", "fuse.sshfs-fuse", "fuse.rclone", "fuse.glusterfs", "fuse.ceph-fuse",
      "fuse.s3fs", "fuse.gcsfuse", "fuse.curlftpfs", "fuse.smbnetfs", "fuse.davfs",
      "fuse.juicefs", "fuse.afpfs-ng"};
  // clang-format on
  return std::find(kNetworkTypes.begin(), kNetworkTypes.end(), fs_type) != kNetworkTypes.end();
}

std::string NetworkHostOf(std::string_view source) {
  std::string_view host;
  if (source.size() > 2 && (source.substr(0, 2) == "//" || source.substr(0, 2) == "\\\\")) {
    host = source.substr(2);
    host = host.substr(0, host.find_first_of("/\\"));
  } else if (!source.empty() && source[0] != '/') {
    const size_t colon = source.find(':');
    const size_t bracket = source.find('[');
    if (bracket != std::string_view::npos && (colon == std::string_view::npos || bracket < colon)) {
      // An IPv6 address in brackets: "[fe80::1]:/export".
      const size_t close = source.find(']', bracket);
      if (close == std::string_view::npos) return {};
      return std::string(source.substr(bracket + 1, close - bracket - 1));
    }
    if (colon == std::string_view::npos) return {};
    host = source.substr(0, colon);
  }
  // "user@host", and the first of several servers ("mon1,mon2:/").
  const size_t at = host.rfind('@');
  if (at != std::string_view::npos) host = host.substr(at + 1);
  host = host.substr(0, host.find(','));
  return std::string(host);
}

uint32_t SerialFromUuid(std::string_view uuid, uint64_t fsid) {
  std::string digits;
  for (char c : uuid) {
    if (HexValue(c) >= 0) digits += c;
  }
  if (digits.empty()) return static_cast<uint32_t>(fsid) ^ static_cast<uint32_t>(fsid >> 32);
  // NTFS shows its 64-bit serial as 16 hex digits; the volume serial is the low half.
  // A FAT "ABCD-1234" is the serial itself, which the first 8 digits give as well.
  if (uuid.size() == 16 && digits.size() == 16) digits.erase(0, 8);
  digits.resize(std::min<size_t>(digits.size(), 8));
  uint32_t serial = 0;
  for (char c : digits) serial = serial * 16 + static_cast<uint32_t>(HexValue(c));
  return serial;
}

uint16_t DriveTypeOf(std::string_view fs_type, bool removable, bool optical) {
  if (fs_type == "tmpfs" || fs_type == "ramfs") return kDriveRamDisk;
  if (IsNetworkFileSystem(fs_type)) return kDriveRemote;
  if (optical && (fs_type == "iso9660" || fs_type == "udf")) return kDriveCdRom;
  if (removable) return kDriveRemovable;
  return kDriveFixed;
}

std::string FileSystemNameOf(std::string_view fs_type) {
  std::string name(fs_type.substr(0, kFileSystemNameLength));
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return name;
}

int RootColumnFor(const std::string& search_path, const std::string& mount_point) {
  const std::string root = WithoutTrailingSlash(mount_point);
  const std::string path = search_path.empty() ? std::string(1, platform::kSeparator)
                                               : platform::WithSeparator(search_path);
  const size_t path_root = platform::RootLength(path);
  for (size_t i = 0; i < path.size(); ++i) {
    if (!platform::IsSeparator(path[i])) continue;
    // A separator of the root belongs to it ("/", "C:\").
    const std::string part = path.substr(0, i < path_root ? i + 1 : i);
    if (WithoutTrailingSlash(platform::ResolveExisting(part)) == root) {
      return static_cast<int>(i) + 2;
    }
  }
  return 2;
}

int RootColumn(const std::string& search_path) {
  platform::Mount mount;
  if (!platform::MountOfPath(search_path, &mount)) return 2;
  return RootColumnFor(search_path, mount.mount_point);
}

bool OnRotationalDisk(const std::string& path) {
  platform::Mount mount;
  return platform::MountOfPath(path, &mount) && !IsNetworkFileSystem(mount.fs_type) &&
         platform::IsRotational(mount);
}

bool GetVolumeInfoSx(const std::string& path, TVolumeInfo* info) {
  *info = TVolumeInfo();
  if (!platform::IsAbsolute(path)) return false;
  platform::Mount mount;
  platform::FileSystemFigures figures;
  bool measured = false;
  // A mount made or undone between the two questions would pair the mount point of one
  // file system with the figures of another: ask both again until they tell of one.
  for (int asked = 1;; ++asked) {
    if (!platform::MountOfPath(path, &mount)) {
      info->drive_type = fs::kDriveNoRoot;
      return false;
    }
    measured = platform::QueryFileSystem(mount.mount_point, &figures);
    if (!measured || mount.fsid == 0 || mount.fsid == figures.fsid) break;
    if (asked == kAskings) return false;
  }

  info->root_path = platform::WithSeparator(mount.mount_point);
  info->source = mount.source;
  const bool network = fs::IsNetworkFileSystem(mount.fs_type);
  info->root_kind = network ? fs::kRootKindNetwork : fs::kRootKindDrive;
  if (network) info->network_host = fs::NetworkHostOf(mount.source);
  info->file_system_name = fs::FileSystemNameOf(mount.fs_type);

  // A network source has no device here; probing it could only waste time.
  platform::DeviceFacts device;
  if (!network) device = platform::QueryDevice(mount);
  info->drive_type = fs::DriveTypeOf(mount.fs_type, device.removable, device.optical);
  info->label = device.label;

  if (!measured) return false;
  info->serial_number = fs::SerialFromUuid(device.uuid, figures.fsid);
  info->file_system_flags = static_cast<uint16_t>(figures.flags & 0xFFFF);
  info->max_name_length =
      static_cast<uint16_t>(std::min<uint64_t>(figures.max_name_length, 0xFFFF));
  const uint64_t fragment = figures.fragment_size;
  const uint64_t per_block =
      std::max<uint64_t>(1, figures.block_size / std::max<uint64_t>(1, fragment));
  info->bytes_per_sector = fs::Saturate32(fragment);
  info->sectors_per_cluster = fs::Saturate32(per_block);
  info->total_clusters = fs::Saturate32(figures.total_blocks / per_block);
  info->free_clusters = fs::Saturate32(figures.available_blocks / per_block);
  info->free_bytes_for_caller = figures.available_blocks * fragment;
  info->total_bytes = figures.total_blocks * fragment;
  info->total_free_bytes = figures.free_blocks * fragment;
  return true;
}

}  // namespace fs
