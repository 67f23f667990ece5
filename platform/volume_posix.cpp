#include <blkid/blkid.h>
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

#include "platform/volume.h"

namespace platform {

namespace {

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

std::vector<std::string_view> SplitBlanks(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t pos = 0;
  while (pos < line.size()) {
    while (pos < line.size() && line[pos] == ' ') ++pos;
    if (pos >= line.size()) break;
    const size_t end = line.find(' ', pos);
    const size_t stop = end == std::string_view::npos ? line.size() : end;
    fields.push_back(line.substr(pos, stop - pos));
    pos = stop;
  }
  return fields;
}

bool ParseNumber(std::string_view text, uint32_t* value) {
  if (text.empty() || text.size() > 9) return false;
  uint32_t result = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + static_cast<uint32_t>(c - '0');
  }
  *value = result;
  return true;
}

// A mount point holds the path when it is the path or a leading run of whole components.
bool Holds(std::string_view mount_point, std::string_view path) {
  if (mount_point == "/") return true;
  if (path.substr(0, mount_point.size()) != mount_point) return false;
  return path.size() == mount_point.size() || path[mount_point.size()] == '/';
}

// Reads a small text file (sysfs attribute, proc file) in full; false on any error.
// Reading /proc in one read(2) would cut the table at a page, so read to the end.
bool ReadSmallFile(const std::string& path, std::string* text) {
  text->clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return false;
    }
    if (n == 0) break;
    text->append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return true;
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

}  // namespace

std::string UnescapeMountField(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
        IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
      const int code = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
      if (code < 256) {
        out += static_cast<char>(code);
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

MountTable ParseMountInfo(std::string_view text) {
  MountTable table;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    const std::vector<std::string_view> fields = SplitBlanks(line);
    // id parent major:minor root mount-point options [optional...] - type source super
    size_t separator = 6;
    while (separator < fields.size() && fields[separator] != "-") ++separator;
    if (fields.size() < 6 || separator + 2 >= fields.size()) continue;
    MountEntry entry;
    uint32_t id = 0;
    uint32_t parent = 0;
    const std::string_view device = fields[2];
    const size_t colon = device.find(':');
    if (!ParseNumber(fields[0], &id) || !ParseNumber(fields[1], &parent) ||
        colon == std::string_view::npos || !ParseNumber(device.substr(0, colon), &entry.major) ||
        !ParseNumber(device.substr(colon + 1), &entry.minor)) {
      continue;
    }
    entry.id = static_cast<int>(id);
    entry.parent_id = static_cast<int>(parent);
    entry.root = UnescapeMountField(fields[3]);
    entry.mount_point = UnescapeMountField(fields[4]);
    if (entry.mount_point.empty() || entry.mount_point[0] != '/') continue;
    while (entry.mount_point.size() > 1 && entry.mount_point.back() == '/') {
      entry.mount_point.pop_back();
    }
    entry.options = UnescapeMountField(fields[5]);
    entry.fs_type = UnescapeMountField(fields[separator + 1]);
    entry.source = UnescapeMountField(fields[separator + 2]);
    table.push_back(std::move(entry));
  }
  return table;
}

int FindMount(const MountTable& table, std::string_view path) {
  if (path.empty() || path[0] != '/') return -1;
  // Walk down the mount tree from the top: a mount made over a directory hides every
  // mount that was made below that directory before, and a plain longest-prefix match
  // would pick such a hidden mount.
  auto listed = [&table](int id) {
    for (const MountEntry& entry : table) {
      if (entry.id == id) return true;
    }
    return false;
  };
  auto best_child = [&](int parent, bool top) {
    int best = -1;
    for (size_t i = 0; i < table.size(); ++i) {
      const MountEntry& entry = table[i];
      const bool candidate = top ? (entry.parent_id == entry.id || !listed(entry.parent_id))
                                 : (entry.parent_id == parent && entry.id != parent);
      if (!candidate || !Holds(entry.mount_point, path)) continue;
      if (best < 0 || entry.mount_point.size() >= table[best].mount_point.size()) {
        best = static_cast<int>(i);
      }
    }
    return best;
  };
  int current = best_child(0, true);
  // A table whose parent links lead nowhere still gets an answer by prefix alone.
  if (current < 0) {
    for (size_t i = 0; i < table.size(); ++i) {
      if (!Holds(table[i].mount_point, path)) continue;
      if (current < 0 || table[i].mount_point.size() >= table[current].mount_point.size()) {
        current = static_cast<int>(i);
      }
    }
    return current;
  }
  for (size_t depth = 0; depth < table.size(); ++depth) {
    const int next = best_child(table[current].id, false);
    if (next < 0) break;
    current = next;
  }
  return current;
}

bool ReadMountTable(MountTable* table) {
  std::string text;
  if (!ReadSmallFile("/proc/self/mountinfo", &text)) return false;
  *table = ParseMountInfo(text);
  return !table->empty();
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

std::string DecodeUdevName(std::string_view name) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && hex(name[i + 2]) >= 0 &&
        hex(name[i + 3]) >= 0) {
      out += static_cast<char>(hex(name[i + 2]) * 16 + hex(name[i + 3]));
      i += 3;
      continue;
    }
    out += name[i];
  }
  return out;
}

namespace {

// The device node behind a mount and the sysfs node of its whole disk (a partition's
// parent); either empty when it cannot be found.
struct DeviceNodes {
  std::string device;
  std::string disk;
};

DeviceNodes FindDeviceNodes(const MountEntry& mount, const DeviceDirs& dirs) {
  DeviceNodes nodes;
  const std::string numbers = std::to_string(mount.major) + ":" + std::to_string(mount.minor);

  // The device node: the mount source when it is one, else the udev link by number.
  // File systems like btrfs report an anonymous device number, so the source comes first.
  if (!mount.source.empty() && mount.source[0] == '/' && IsProbeable(mount.source)) {
    nodes.device = RealPath(mount.source);
  } else if (mount.major != 0 && IsProbeable(dirs.dev + "block/" + numbers)) {
    nodes.device = RealPath(dirs.dev + "block/" + numbers);
  }

  // The sysfs node of the device, and of its whole disk when it is a partition.
  std::string node;
  if (mount.major != 0) node = RealPath(dirs.sys + "dev/block/" + numbers);
  if (node.empty() && !nodes.device.empty()) {
    node = RealPath(dirs.sys + "class/block/" + BaseName(nodes.device));
  }
  if (!node.empty()) nodes.disk = Exists(node + "/partition") ? ParentDir(node) : node;
  return nodes;
}

}  // namespace

DeviceFacts QueryDevice(const MountEntry& mount, const DeviceDirs& dirs) {
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

bool IsRotational(const MountEntry& mount, const DeviceDirs& dirs) {
  const DeviceNodes nodes = FindDeviceNodes(mount, dirs);
  return !nodes.disk.empty() && FirstLine(nodes.disk + "/queue/rotational") == "1";
}

}  // namespace platform
