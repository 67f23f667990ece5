#include "catalogue/mounted.h"

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
  platform::MountTable table;
  if (!platform::ReadMountTable(&table)) return result;
  for (const platform::MountEntry& entry : table) {
    TVolumeInfo info;
    if (!GetVolumeInfoSx(support::WithTrailingSlash(entry.mount_point), &info)) continue;
    // A mount hidden by a later one over the same place answers for that one.
    if (support::WithTrailingSlash(info.root_path) != support::WithTrailingSlash(entry.mount_point))
      continue;
    MountedVolume volume;
    volume.serial = info.serial_number;
    volume.label = info.label;
    volume.mount_point = support::WithTrailingSlash(entry.mount_point);
    volume.root = support::WithTrailingSlash(entry.root);
    result.push_back(std::move(volume));
  }
  return result;
}

std::string MountedPath(const std::vector<MountedVolume>& mounted, uint32_t serial,
                        const std::string& below_root) {
  // The root seen at a mount begins with "/"; below_root does not.
  const std::string wanted = "/" + below_root;
  const MountedVolume* best = nullptr;
  for (const MountedVolume& volume : mounted) {
    if (volume.serial != serial) continue;
    if (volume.root == "/") return volume.mount_point + below_root;
    if (best == nullptr && support::WithTrailingSlash(wanted).rfind(volume.root, 0) == 0)
      best = &volume;
  }
  if (best == nullptr) return {};
  return best->mount_point + wanted.substr(best->root.size());
}

std::string MountPointOf(const std::vector<MountedVolume>& mounted, uint32_t serial) {
  for (const MountedVolume& volume : mounted) {
    if (volume.serial == serial && volume.root == "/") return volume.mount_point;
  }
  for (const MountedVolume& volume : mounted) {
    if (volume.serial == serial) return volume.mount_point;
  }
  return {};
}

ListVolume LocateListVolume(const std::string& list_path, const std::string& search_path) {
  ListVolume result;
  std::string text;
  if (!platform::ReadWholeFile(list_path, &text) || !ReadLastRunHeader(text, &result.header) ||
      result.header.serial == 0) {
    return result;
  }
  TVolumeInfo info;
  if (platform::PathKindOf(search_path) == platform::PathKind::kDirectory &&
      GetVolumeInfoSx(search_path, &info) && info.serial_number == result.header.serial) {
    result.place = VolumePlace::kAtSearchPath;
    return result;
  }
  const std::string below = PathBelowRoot(search_path, result.header.root_column);
  result.path = MountedPath(MountedVolumes(), result.header.serial, below);
  result.place = result.path.empty() ? VolumePlace::kNotMounted : VolumePlace::kMountedElsewhere;
  return result;
}

VerifyPlace FindVolumeOfList(const std::string& list_path, const std::string& search_path) {
  const std::string path = platform::AbsolutePath(search_path);
  const ListVolume volume = LocateListVolume(list_path, path);
  VerifyPlace result;
  result.place = volume.place;
  if (volume.place == VolumePlace::kAtSearchPath || volume.place == VolumePlace::kUnknown) {
    return result;
  }
  const std::string name = "\"" + volume.header.label + "\" (serial " +
                           scan::SerialNumberText(volume.header.serial) + ")";
  const std::string why = platform::PathKindOf(path) == platform::PathKind::kMissing
                              ? search_path + " is gone"
                              : search_path + " is on another volume";
  if (volume.place == VolumePlace::kMountedElsewhere) {
    result.path = volume.path;
    result.message =
        why + "; verifying " + list_path + " on its volume " + name + " at " + volume.path;
    return result;
  }
  result.message =
      "cannot verify " + list_path + ": " + why + " and its volume " + name + " is not mounted";
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
