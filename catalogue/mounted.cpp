#include "catalogue/mounted.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "fs/volume_info.h"
#include "lists/list_names.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/volume.h"
#include "support/text.h"

namespace catalogue {

std::vector<MountedVolume> MountedVolumes() {
  std::vector<MountedVolume> result;
  for (const platform::Mount& entry : platform::MountedFileSystems()) {
    fs::TVolumeInfo info;
    if (!fs::GetVolumeInfoSx(support::WithTrailingSlash(entry.mount_point), &info)) continue;
    // A mount hidden by a later one over the same place answers for that one.
    if (support::WithTrailingSlash(info.root_path) != support::WithTrailingSlash(entry.mount_point))
      continue;
    MountedVolume volume;
    volume.serial = info.serial_number;
    volume.label = info.label;
    volume.mount_point = support::WithTrailingSlash(entry.mount_point);
    volume.root = support::WithTrailingSlash(entry.root);
    volume.device = entry.device;
    result.push_back(std::move(volume));
  }
  return result;
}

bool IsWholeVolume(const MountedVolume& volume) {
  return volume.root.size() == 1 && platform::IsSeparator(volume.root[0]);
}

std::string MountedPath(const std::vector<MountedVolume>& mounted, uint32_t serial,
                        const std::string& below_root) {
  // The root seen at a mount begins with a separator; below_root does not.
  const std::string wanted = platform::kSeparator + below_root;
  const MountedVolume* best = nullptr;
  for (const MountedVolume& volume : mounted) {
    if (volume.serial != serial) continue;
    if (IsWholeVolume(volume)) return volume.mount_point + below_root;
    if (best == nullptr && support::WithTrailingSlash(wanted).rfind(volume.root, 0) == 0)
      best = &volume;
  }
  if (best == nullptr) return {};
  return best->mount_point + wanted.substr(best->root.size());
}

std::string MountPointOf(const std::vector<MountedVolume>& mounted, uint32_t serial) {
  for (const MountedVolume& volume : mounted) {
    if (volume.serial == serial && IsWholeVolume(volume)) return volume.mount_point;
  }
  for (const MountedVolume& volume : mounted) {
    if (volume.serial == serial) return volume.mount_point;
  }
  return {};
}

VolumeChoice ChooseVolume(const std::vector<MountedVolume>& mounted, uint32_t serial,
                          const std::string& label) {
  VolumeChoice choice;
  std::vector<MountedVolume> labelled;
  for (const MountedVolume& volume : mounted) {
    if (volume.serial != serial) continue;
    const auto same_device = [&](const MountedVolume& seen) {
      return seen.device == volume.device;
    };
    if (std::any_of(choice.candidates.begin(), choice.candidates.end(), same_device)) continue;
    choice.candidates.push_back(volume);
    if (volume.label == label) labelled.push_back(volume);
  }
  if (choice.candidates.size() == 1) {
    choice.device = choice.candidates.front().device;
  } else if (labelled.size() == 1) {
    choice.device = labelled.front().device;
  }
  if (choice.device != 0) choice.candidates.clear();
  return choice;
}

VolumeMount MountShowing(const std::vector<MountedVolume>& mounted, uint64_t device,
                         const std::string& below_root) {
  // The root seen at a mount begins with a separator; below_root does not.
  const std::string wanted = platform::kSeparator + below_root;
  VolumeMount found;
  for (const MountedVolume& volume : mounted) {
    if (volume.device != device) continue;
    if (IsWholeVolume(volume)) {
      found.mount = &volume;
      break;
    }
    if (found.mount == nullptr && support::WithTrailingSlash(wanted).rfind(volume.root, 0) == 0) {
      found.mount = &volume;
    }
  }
  if (found.mount != nullptr) {
    found.path = found.mount->mount_point + wanted.substr(found.mount->root.size());
  }
  return found;
}

ListVolume LocateListVolume(const lists::RunHeader& list_header, const std::string& search_path) {
  ListVolume result;
  result.header = list_header;
  if (result.header.serial == 0) return result;
  const lists::RunHeader& header = result.header;
  fs::TVolumeInfo info;
  const bool here = platform::PathKindOf(search_path) == platform::PathKind::kDirectory &&
                    fs::GetVolumeInfoSx(search_path, &info) && info.serial_number == header.serial;
  // A volume of another label may be a clone: only the mount table tells.
  if (here && info.label == header.label) {
    result.place = VolumePlace::kAtSearchPath;
    return result;
  }
  const std::vector<MountedVolume> mounted = MountedVolumes();
  const VolumeChoice choice = ChooseVolume(mounted, header.serial, header.label);
  platform::FileInfo at;
  // A volume the table does not show (no record to read) cannot be told from another.
  const bool none_shown = choice.device == 0 && choice.candidates.empty();
  if (here &&
      (none_shown || (platform::StatPath(search_path, &at) && at.device == choice.device))) {
    result.place = VolumePlace::kAtSearchPath;
    return result;
  }
  if (!choice.candidates.empty()) {
    result.place = VolumePlace::kAmbiguous;
    result.candidates = choice.candidates;
    return result;
  }
  result.clone_at_search_path = here;
  result.label_at_search_path = info.label;
  const VolumeMount mount =
      MountShowing(mounted, choice.device, lists::PathBelowRoot(search_path, header.root_column));
  if (mount.mount == nullptr) {
    result.place = VolumePlace::kNotMounted;
    return result;
  }
  result.found = *mount.mount;
  result.path = mount.path;
  result.place = platform::PathKindOf(mount.path) == platform::PathKind::kMissing
                     ? VolumePlace::kGone
                     : VolumePlace::kMountedElsewhere;
  return result;
}

namespace {

std::string VolumeName(const std::string& label, uint32_t serial) {
  return "\"" + label + "\" (serial " + lists::SerialNumberText(serial) + ")";
}

// What is at the search path, which is not the list's volume there.
std::string WhatIsThere(const std::string& path, const std::string& given,
                        const ListVolume& volume) {
  switch (platform::PathKindOf(path)) {
    case platform::PathKind::kMissing:
      return given + " is gone";
    case platform::PathKind::kDirectory:
      if (volume.clone_at_search_path) {
        return given + " is on " + VolumeName(volume.label_at_search_path, volume.header.serial) +
               ", another volume with its serial";
      }
      return given + " is on another volume";
    case platform::PathKind::kLink:
    case platform::PathKind::kLinkToDirectory:
      return given + " is a symbolic link";
    default:
      return given + " is no directory";
  }
}

}  // namespace

VerifyPlace FindVolumeOfList(const std::string& list_path, const lists::RunHeader& list_header,
                             const std::string& search_path) {
  const std::string path = platform::AbsolutePath(search_path);
  const ListVolume volume = LocateListVolume(list_header, path);
  VerifyPlace result;
  result.place = volume.place;
  const uint32_t serial = volume.header.serial;
  switch (volume.place) {
    case VolumePlace::kAtSearchPath:
    case VolumePlace::kUnknown:
      return result;
    case VolumePlace::kAmbiguous: {
      std::string names;
      for (const MountedVolume& candidate : volume.candidates) {
        names += (names.empty() ? "" : ", ") + VolumeName(candidate.label, serial) + " at " +
                 candidate.mount_point;
      }
      result.message = "cannot verify " + list_path + ": " +
                       std::to_string(volume.candidates.size()) +
                       " volumes have the serial of its volume " +
                       VolumeName(volume.header.label, serial) + ": " + names;
      return result;
    }
    case VolumePlace::kNotMounted:
      result.message = "cannot verify " + list_path + ": " +
                       WhatIsThere(path, search_path, volume) + " and its volume " +
                       VolumeName(volume.header.label, serial) + " is not mounted";
      return result;
    case VolumePlace::kMountedElsewhere:
    case VolumePlace::kGone:
      break;
  }
  const std::string found = VolumeName(volume.found.label, serial);
  if (volume.path == path) {
    // The volume shows the path where it was: something else stands there now.
    if (volume.place == VolumePlace::kMountedElsewhere) {
      result.place = VolumePlace::kAtSearchPath;
      return result;
    }
    result.message =
        "cannot verify " + list_path + ": " + search_path + " is gone from its volume " + found;
    return result;
  }
  const std::string why = WhatIsThere(path, search_path, volume);
  if (volume.place == VolumePlace::kGone) {
    result.message = "cannot verify " + list_path + ": " + why + "; on its volume " + found + ", " +
                     volume.path + " is gone";
    return result;
  }
  result.path = volume.path;
  result.message =
      why + "; verifying " + list_path + " on its volume " + found + " at " + volume.path;
  return result;
}

SameBytes CompareFiles(const std::string& a, const std::string& b) {
  // Large reads keep a disk streaming; two of them side by side.
  constexpr size_t kChunk = 1 << 20;
  platform::File file_a;
  platform::File file_b;
  if (!file_a.Open(a, platform::OpenMode::kRead) || !file_b.Open(b, platform::OpenMode::kRead)) {
    return SameBytes::kCannotRead;
  }
  const auto buffer_a = std::make_unique<char[]>(kChunk);
  const auto buffer_b = std::make_unique<char[]>(kChunk);
  for (;;) {
    const int64_t got_a = file_a.Read(buffer_a.get(), kChunk);
    const int64_t got_b = file_b.Read(buffer_b.get(), kChunk);
    if (got_a < 0 || got_b < 0) return SameBytes::kCannotRead;
    if (got_a != got_b ||
        std::memcmp(buffer_a.get(), buffer_b.get(), static_cast<size_t>(got_a)) != 0) {
      return SameBytes::kDifferent;
    }
    if (got_a == 0) return SameBytes::kSame;
  }
}

}  // namespace catalogue
