#include <windows.h>
#include <winioctl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/volume.h"
#include "platform/wide_win.h"

namespace platform {

namespace {

// What GetVolumeInformationW tells of the volume whose root is `root` ("C:\").
struct VolumeInformation {
  std::string label;
  std::string fs_type;
  DWORD serial = 0;
  DWORD max_name_length = 0;
  DWORD flags = 0;
};

bool ReadVolumeInformation(const std::wstring& root, VolumeInformation* out) {
  wchar_t label[MAX_PATH + 1] = {};
  wchar_t fs_type[MAX_PATH + 1] = {};
  if (!GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, &out->serial, &out->max_name_length,
                             &out->flags, fs_type, MAX_PATH + 1)) {
    return false;
  }
  out->label = Narrow(label);
  out->fs_type = Narrow(fs_type);
  return true;
}

// The root of the volume that holds `path`, in the long form, with its final backslash.
std::wstring VolumeRoot(const std::string& path) {
  const std::wstring full = LongPath(path);
  std::vector<wchar_t> root(full.size() + 2);
  if (full.empty() ||
      !GetVolumePathNameW(full.c_str(), root.data(), static_cast<DWORD>(root.size()))) {
    return {};
  }
  return root.data();
}

// The drive letters in use, each as its root ("C:\").
std::vector<std::wstring> DriveRoots() {
  std::vector<wchar_t> buffer(MAX_PATH);
  DWORD n = GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
  if (n >= buffer.size()) {
    buffer.resize(n + 1);
    n = GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
  }
  std::vector<std::wstring> roots;
  for (const wchar_t* at = buffer.data(); n > 0 && *at != L'\0'; at += roots.back().size() + 1) {
    roots.emplace_back(at);
  }
  return roots;
}

// The volume whose root is `root`, as a mount of its own. Unless `ask`, only fixed and RAM
// drives are asked about their volume: a drive without a disk in it, a CD spinning up or a
// server that does not answer would hold every caller up for seconds, and GetDriveTypeW
// never touches the medium.
Mount MountAt(const std::wstring& root, bool ask) {
  Mount mount;
  mount.mount_point = ShortForm(root);
  mount.root = "\\";
  const UINT type = GetDriveTypeW(root.c_str());
  if (!ask && type != DRIVE_FIXED && type != DRIVE_RAMDISK) {
    mount.source = mount.mount_point;
    return mount;
  }
  VolumeInformation volume;
  if (ReadVolumeInformation(root, &volume)) {
    mount.device = DeviceNumber(0, volume.serial);
    mount.fs_type = volume.fs_type;
    mount.read_only = (volume.flags & FILE_READ_ONLY_VOLUME) != 0;
  }
  wchar_t name[MAX_PATH + 1] = {};
  mount.source = GetVolumeNameForVolumeMountPointW(root.c_str(), name, MAX_PATH + 1)
                     ? ShortForm(name)
                     : mount.mount_point;
  return mount;
}

}  // namespace

// The volume serial stands in for the device number: files on the volume carry the same
// in FileInfo.
std::vector<Mount> MountedFileSystems() {
  std::vector<Mount> mounts;
  for (const std::wstring& root : DriveRoots()) mounts.push_back(MountAt(root, false));
  return mounts;
}

bool MountOfPath(const std::string& path, Mount* mount) {
  const std::wstring root = VolumeRoot(path);
  if (root.empty()) return false;
  *mount = MountAt(root, true);
  return true;
}

bool QueryFileSystem(const std::string& path, FileSystemFigures* figures) {
  const std::wstring root = VolumeRoot(path);
  DWORD sectors_per_cluster = 0, bytes_per_sector = 0, free_clusters = 0, clusters = 0;
  ULARGE_INTEGER available = {}, total = {}, free = {};
  if (root.empty() ||
      !GetDiskFreeSpaceW(root.c_str(), &sectors_per_cluster, &bytes_per_sector, &free_clusters,
                         &clusters) ||
      !GetDiskFreeSpaceExW(root.c_str(), &available, &total, &free)) {
    return false;
  }
  const uint64_t cluster = uint64_t{sectors_per_cluster} * bytes_per_sector;
  if (cluster == 0) return false;
  VolumeInformation volume;
  ReadVolumeInformation(root, &volume);
  figures->block_size = cluster;
  figures->fragment_size = cluster;
  figures->total_blocks = total.QuadPart / cluster;
  figures->free_blocks = free.QuadPart / cluster;
  figures->available_blocks = available.QuadPart / cluster;
  figures->fsid = volume.serial;
  figures->flags = volume.flags & FILE_READ_ONLY_VOLUME ? 1 : 0;  // as ST_RDONLY
  figures->max_name_length = volume.max_name_length;
  return true;
}

// Label and serial ("1A2B-3C4D", as the system's own tools show it) of the drive; the
// drive type says removable or optical.
DeviceFacts QueryDevice(const Mount& mount, const DeviceDirs&) {
  DeviceFacts facts;
  const std::wstring root = Widen(mount.mount_point);
  VolumeInformation volume;
  if (!ReadVolumeInformation(root, &volume)) return facts;
  facts.device = mount.source;
  facts.label = volume.label;
  char serial[16];
  std::snprintf(serial, sizeof serial, "%04lX-%04lX", (volume.serial >> 16) & 0xFFFFUL,
                volume.serial & 0xFFFFUL);
  facts.uuid = serial;
  const UINT type = GetDriveTypeW(root.c_str());
  facts.removable = type == DRIVE_REMOVABLE;
  facts.optical = type == DRIVE_CDROM;
  return facts;
}

// The disk's seek penalty: asked of the volume's device without any access right.
bool IsRotational(const Mount& mount, const DeviceDirs&) {
  std::wstring device = Widen(mount.mount_point);
  while (!device.empty() && device.back() == L'\\') device.pop_back();
  if (device.size() != 2 || device[1] != L':') return false;
  const HANDLE h = CreateFileW((L"\\\\.\\" + device).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  STORAGE_PROPERTY_QUERY query = {};
  query.PropertyId = StorageDeviceSeekPenaltyProperty;
  query.QueryType = PropertyStandardQuery;
  DEVICE_SEEK_PENALTY_DESCRIPTOR penalty = {};
  DWORD got = 0;
  const bool ok = DeviceIoControl(h, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &penalty,
                                  sizeof penalty, &got, nullptr) != 0;
  CloseHandle(h);
  return ok && got >= sizeof penalty && penalty.IncursSeekPenalty;
}

}  // namespace platform
