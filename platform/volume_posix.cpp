#include <blkid/blkid.h>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/mountinfo.h"
#include "platform/paths.h"

namespace platform {

namespace {

// Reads an open file to its end; false on an error. A proc file gives at most a page of
// whole lines per read(2), however large the buffer.
bool ReadToEnd(int fd, std::string* text) {
  text->clear();
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    text->append(buffer, static_cast<size_t>(n));
  }
}

// Reads a small text file (sysfs attribute) in full; false on any error.
bool ReadSmallFile(const std::string& path, std::string* text) {
  text->clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  const bool read = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ReadToEnd(fd, text);
  close(fd);
  return read;
}

std::string FirstLine(const std::string& path) {
  std::string text;
  if (!ReadSmallFile(path, &text)) return {};
  const size_t end = text.find_first_of("\r\n");
  if (end != std::string::npos) text.resize(end);
  return text;
}

std::string RealPath(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return {};
  std::string result(resolved);
  free(resolved);
  return result;
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ParentDir(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return path.substr(0, slash);
}

// Label and UUID from the superblock. Works on block devices and image files.
void ProbeWithBlkid(const std::string& device, std::string* label, std::string* uuid) {
  blkid_probe probe = blkid_new_probe_from_filename(device.c_str());
  if (probe == nullptr) return;
  blkid_probe_enable_superblocks(probe, 1);
  blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID);
  if (blkid_do_safeprobe(probe) == 0) {
    const char* data = nullptr;
    size_t size = 0;
    if (blkid_probe_lookup_value(probe, "LABEL", &data, &size) == 0 && data != nullptr) {
      *label = data;
    }
    if (blkid_probe_lookup_value(probe, "UUID", &data, &size) == 0 && data != nullptr) {
      *uuid = data;
    }
  }
  blkid_free_probe(probe);
}

// Name of the link in `dir` that resolves to `device`; empty when none does.
std::string LinkNameFor(const std::string& dir, const std::string& device) {
  DIR* handle = opendir(dir.c_str());
  if (handle == nullptr) return {};
  std::string found;
  while (const struct dirent* entry = readdir(handle)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (RealPath(dir + name) == device) {
      found = DecodeUdevName(name);
      break;
    }
  }
  closedir(handle);
  return found;
}

bool IsProbeable(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  return S_ISBLK(st.st_mode) || S_ISREG(st.st_mode);
}

// The table file flags a mount or unmount since its open as POLLPRI.
bool ChangedSinceOpen(int fd) {
  struct pollfd watch = {fd, POLLPRI, 0};
  return poll(&watch, 1, 0) > 0 && (watch.revents & (POLLPRI | POLLERR)) != 0;
}

// Reads of a table that keeps changing, before the last read is taken as it is.
constexpr int kTableReads = 1000;

// The mount table, read while no mount came or went: the kernel keeps it consistent only
// within one read(2), and a table read across a change can show a state that never was.
// `measure` runs on each read within the same quiet spell, so that what it finds on the
// file systems is of the mounts the table names. Empty when the table cannot be read.
template <typename Measure>
MountTable ReadMountTable(const Measure& measure) {
  for (int read = 1;; ++read) {
    const int fd = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::string text;
    const bool ok = ReadToEnd(fd, &text);
    MountTable table = ok ? ParseMountInfo(text) : MountTable();
    if (ok) measure(table);
    const bool changed = ok && ChangedSinceOpen(fd);
    close(fd);
    if (!changed || read == kTableReads) return table;
  }
}

}  // namespace

std::vector<Mount> MountedFileSystems() {
  std::vector<Mount> mounts;
  for (const MountEntry& entry : ReadMountTable([](const MountTable&) {})) {
    mounts.push_back(MountOfEntry(entry));
  }
  return mounts;
}

bool MountOfPath(const std::string& path, Mount* mount) {
  if (path.empty() || path[0] != '/') return false;
  const std::string resolved = ResolveExisting(path);
  int index = -1;
  uint64_t fsid = 0;
  // A statvfs taken just after the mount went would be of the file system below it.
  const MountTable table = ReadMountTable([&](const MountTable& read) {
    index = FindMount(read, resolved);
    FileSystemFigures figures;
    fsid = index >= 0 && QueryFileSystem(read[static_cast<size_t>(index)].mount_point, &figures)
               ? figures.fsid
               : 0;
  });
  if (index < 0) return false;
  *mount = MountOfEntry(table[static_cast<size_t>(index)]);
  mount->fsid = fsid;
  return true;
}

bool QueryFileSystem(const std::string& path, FileSystemFigures* figures) {
  struct statvfs st;
  int rc;
  do {
    rc = statvfs(path.c_str(), &st);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) return false;
  figures->block_size = st.f_bsize;
  figures->fragment_size = st.f_frsize != 0 ? st.f_frsize : st.f_bsize;
  figures->total_blocks = st.f_blocks;
  figures->free_blocks = st.f_bfree;
  figures->available_blocks = st.f_bavail;
  figures->fsid = st.f_fsid;
  figures->flags = st.f_flag;
  figures->max_name_length = st.f_namemax;
  return true;
}

namespace {

// The device node behind a mount and the sysfs node of its whole disk (a partition's
// parent); either empty when it cannot be found.
struct DeviceNodes {
  std::string device;
  std::string disk;
};

DeviceNodes FindDeviceNodes(const Mount& mount, const DeviceDirs& dirs) {
  DeviceNodes nodes;
  // DeviceNumber keeps the major number in the high half.
  const uint64_t major = mount.device >> 32;
  const std::string numbers =
      std::to_string(major) + ":" + std::to_string(mount.device & 0xFFFFFFFFu);

  // The device node: the mount source when it is one, else the udev link by number.
  // File systems like btrfs report an anonymous device number, so the source comes first.
  if (!mount.source.empty() && mount.source[0] == '/' && IsProbeable(mount.source)) {
    nodes.device = RealPath(mount.source);
  } else if (major != 0 && IsProbeable(dirs.dev + "block/" + numbers)) {
    nodes.device = RealPath(dirs.dev + "block/" + numbers);
  }

  // The sysfs node of the device, and of its whole disk when it is a partition.
  std::string node;
  if (major != 0) node = RealPath(dirs.sys + "dev/block/" + numbers);
  if (node.empty() && !nodes.device.empty()) {
    node = RealPath(dirs.sys + "class/block/" + BaseName(nodes.device));
  }
  if (!node.empty()) nodes.disk = Exists(node + "/partition") ? ParentDir(node) : node;
  return nodes;
}

}  // namespace

DeviceFacts QueryDevice(const Mount& mount, const DeviceDirs& dirs) {
  DeviceFacts facts;
  const DeviceNodes nodes = FindDeviceNodes(mount, dirs);
  facts.device = nodes.device;
  if (facts.device.empty() && nodes.disk.empty()) return facts;
  if (!nodes.disk.empty()) {
    const std::string& disk = nodes.disk;
    facts.removable = FirstLine(disk + "/removable") == "1";
    facts.optical = BaseName(disk).rfind("sr", 0) == 0 || FirstLine(disk + "/device/type") == "5";
  }

  if (!facts.device.empty()) {
    ProbeWithBlkid(facts.device, &facts.label, &facts.uuid);
    if (facts.label.empty()) facts.label = LinkNameFor(dirs.dev + "disk/by-label/", facts.device);
    if (facts.uuid.empty()) facts.uuid = LinkNameFor(dirs.dev + "disk/by-uuid/", facts.device);
  }
  return facts;
}

bool IsRotational(const Mount& mount, const DeviceDirs& dirs) {
  const DeviceNodes nodes = FindDeviceNodes(mount, dirs);
  return !nodes.disk.empty() && FirstLine(nodes.disk + "/queue/rotational") == "1";
}

}  // namespace platform
