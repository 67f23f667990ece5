#pragma once
// The text of /proc/self/mountinfo and the lookups on it. Pure text work, so it builds
// and is tested everywhere; only the POSIX volume code reads the running system's table.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/volume.h"

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

// What the rest of the program sees of an entry.
Mount MountOfEntry(const MountEntry& entry);

}  // namespace platform
