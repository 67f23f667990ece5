// The mount table's text and the lookups on it: plain text work, the same on every system.
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/mountinfo.h"

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
[[maybe_unused]] bool Holds(std::string_view mount_point, std::string_view path) {
  if (mount_point == "/") return true;
  if (path.substr(0, mount_point.size()) != mount_point) return false;
  return path.size() == mount_point.size() || path[mount_point.size()] == '/';
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

Mount MountOfEntry(const MountEntry& entry) {
  Mount mount;
  mount.mount_point = entry.mount_point;
  mount.root = entry.root;
  mount.source = entry.source;
  mount.fs_type = entry.fs_type;
  mount.device = DeviceNumber(entry.major, entry.minor);
  std::string_view options = entry.options;
  while (!options.empty() && !mount.read_only) {
    const size_t comma = options.find(',');
    mount.read_only = options.substr(0, comma) == "ro";
    options = comma == std::string_view::npos ? std::string_view() : options.substr(comma + 1);
  }
  return mount;
}

std::string FileSystemTypeOf(const std::vector<Mount>& mounts, uint64_t device) {
  for (const Mount& mount : mounts) {
    if (mount.device == device) return mount.fs_type;
  }
  return {};
}

}  // namespace platform
