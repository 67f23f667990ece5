#pragma once
// The volumes mounted now, by serial number: where a catalogued volume can be found
// whatever path it had when its list was written.

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/list_header.h"

namespace catalogue {

struct MountedVolume {
  uint32_t serial = 0;
  std::string label;
  std::string mount_point;  // ends with "/"
  // The part of the file system seen at the mount point: "/" unless only a directory
  // of it is mounted there (a bind mount).
  std::string root;
};

// Every mount whose volume record can be read, in mount-table order. Empty when the
// mount table cannot be read.
std::vector<MountedVolume> MountedVolumes();

// Where the volume of `serial` shows `below_root` (a path below the volume's root, as
// PathBelowRoot gives it): its mount point joined with that path, preferring a mount
// of the whole file system, else one of a directory that holds the path. Empty when
// the volume is not mounted.
std::string MountedPath(const std::vector<MountedVolume>& mounted, uint32_t serial,
                        const std::string& below_root);

// The first mount point of the volume, or empty.
std::string MountPointOf(const std::vector<MountedVolume>& mounted, uint32_t serial);

// Where the volume of a list is now.
enum class VolumePlace {
  kAtSearchPath,      // the search path is on the list's volume
  kMountedElsewhere,  // the path is gone or on another volume; the list's is mounted
  kNotMounted,        // the path is gone or on another volume; the list's is not mounted
  kUnknown,           // the list names no volume (serial 0) or cannot be read
};

struct ListVolume {
  VolumePlace place = VolumePlace::kUnknown;
  std::string path;  // kMountedElsewhere: the search path where the volume is mounted now
  RunHeader header;
};

// Compares the serial number of the volume at `search_path` with that of the list at
// `list_path` and, when they differ or the path is gone, looks for the list's volume
// among the mounted ones (the same path below its root).
ListVolume LocateListVolume(const std::string& list_path, const std::string& search_path);

// Where a verify of the list at `list_path` reads its volume, and the one line that
// says so: empty at the search path or for a list naming no volume; "... verifying ...
// at" when found mounted elsewhere (`path` then holds the place); "cannot verify ... is
// not mounted" when it is not (each front end says how to go on). `search_path` as the
// user gave it or as the list names it.
struct VerifyPlace {
  VolumePlace place = VolumePlace::kUnknown;
  std::string path;
  std::string message;
};
VerifyPlace FindVolumeOfList(const std::string& list_path, const std::string& search_path);

// How two files compare byte for byte.
enum class SameBytes { kSame, kDifferent, kCannotRead };

// Reads both files to their ends and compares them.
SameBytes CompareFiles(const std::string& a, const std::string& b);

}  // namespace catalogue
