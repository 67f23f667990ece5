#pragma once
// The volumes mounted now, by serial number: where a catalogued volume can be found
// whatever path it had when its list was written.

#include <cstdint>
#include <string>
#include <vector>

#include "lists/list_reader.h"

namespace catalogue {

struct MountedVolume {
  uint32_t serial = 0;
  std::string label;
  std::string mount_point;  // ends with "/"
  // The part of the file system seen at the mount point: "/" unless only a directory
  // of it is mounted there (a bind mount).
  std::string root;
  // Which file system it is (platform::DeviceNumber): a clone has the serial of its
  // disk and a device of its own.
  uint64_t device = 0;
};

// Whether the mount shows the whole file system, not only a folder of it.
bool IsWholeVolume(const MountedVolume& volume);

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

// Which mounted file system is the volume of `serial` that a list names `label`: the
// only one with the serial, else the only one of those also labelled so. `device` is 0
// when none has the serial, or when that does not decide; `candidates` then holds one
// mount of each file system that has it (a disk and its clones).
struct VolumeChoice {
  uint64_t device = 0;
  std::vector<MountedVolume> candidates;
};
VolumeChoice ChooseVolume(const std::vector<MountedVolume>& mounted, uint32_t serial,
                          const std::string& label);

// Where the chosen file system shows `below_root` (as MountedPath): `mount` is null when
// it shows it nowhere; `path` is its mount point joined with the rest of the path.
struct VolumeMount {
  const MountedVolume* mount = nullptr;
  std::string path;
};
VolumeMount MountShowing(const std::vector<MountedVolume>& mounted, uint64_t device,
                         const std::string& below_root);

// Where the volume of a list is now.
enum class VolumePlace {
  kAtSearchPath,      // the search path is on the list's volume
  kMountedElsewhere,  // the path is gone or on another volume; the list's is mounted
  kNotMounted,        // the path is gone or on another volume; the list's is not mounted
  kUnknown,           // the list names no volume (serial 0) or cannot be read
  // Several volumes have the list's serial (a disk and its clones) and the label does
  // not tell which is the list's.
  kAmbiguous,
  // The list's volume is mounted, but the search path is gone from it.
  kGone,
};

struct ListVolume {
  VolumePlace place = VolumePlace::kUnknown;
  // kMountedElsewhere and kGone: the search path where the volume is mounted now.
  std::string path;
  lists::RunHeader header;
  MountedVolume found;                    // kMountedElsewhere and kGone: the mount the path is on
  std::vector<MountedVolume> candidates;  // kAmbiguous
  // The volume at the search path has the list's serial, but is not the list's.
  bool clone_at_search_path = false;
  std::string label_at_search_path;
};

// Compares the serial number of the volume at `search_path` with that of a list's last
// header and, when they differ, the path is gone, or the volume there may be a
// clone of the list's, looks for the list's volume among the mounted ones (the same
// path below its root; ChooseVolume).
ListVolume LocateListVolume(const lists::RunHeader& list_header, const std::string& search_path);

// Where a verify of the list at `list_path`, whose last header is `list_header` (as the
// verify read it), reads its volume, and the one line that
// says so, naming what is at the search path and the label of the volume found: empty
// at the search path or for a list naming no volume; "... verifying ... at" when found
// mounted elsewhere (`path` then holds the place); "cannot verify ..." when it is not
// mounted, when the path is gone from it, and when several volumes could be it (each
// front end says how to go on). A symbolic link where the volume shows the path is
// left to the caller's look at the path. `search_path` as the user gave it or as the
// list names it.
struct VerifyPlace {
  VolumePlace place = VolumePlace::kUnknown;
  std::string path;
  std::string message;
};
VerifyPlace FindVolumeOfList(const std::string& list_path, const lists::RunHeader& list_header,
                             const std::string& search_path);

// How two files compare byte for byte.
enum class SameBytes { kSame, kDifferent, kCannotRead };

// Reads both files to their ends and compares them.
SameBytes CompareFiles(const std::string& a, const std::string& b);

}  // namespace catalogue
