#include "repair/copy_finder.h"

#include <algorithm>

#include "catalogue/file_query.h"
#include "lists/list_format.h"
#include "lists/list_names.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace repair {

namespace {

// Every place a mount of the list's volume (by serial: a disk and its clones) shows the
// file at `path`, with the device it lies on.
void MountedPlaces(const std::vector<catalogue::MountedVolume>& mounted,
                   const catalogue::CatalogueList& list, const std::string& path,
                   std::vector<std::pair<std::string, uint64_t>>* places) {
  const std::string below = lists::PathBelowRoot(path, list.root_column);
  if (below.empty()) return;
  const std::string wanted = platform::kSeparator + below;
  for (const catalogue::MountedVolume& volume : mounted) {
    if (volume.serial != list.serial || wanted.rfind(volume.root, 0) != 0) continue;
    places->emplace_back(volume.mount_point + wanted.substr(volume.root.size()), volume.device);
  }
}

}  // namespace

std::string VolumeKey(const catalogue::CatalogueList& list) {
  return lists::SerialNumberText(list.serial) + " " + list.label;
}

std::vector<Candidate> FindCandidates(catalogue::CatalogueIndex* index,
                                      const std::vector<catalogue::CatalogueList>& lists,
                                      const catalogue::CatalogueList& own,
                                      const std::vector<catalogue::MountedVolume>& mounted,
                                      const FileKey& key, uint64_t own_device) {
  std::vector<Candidate> candidates;
  const std::optional<int64_t> content = catalogue::ContentKey(key.id);
  if (!content || key.size == 0) return candidates;
  for (const catalogue::CatalogueFile& copy : index->CopiesOf(own, key.path, key.size, *content)) {
    const catalogue::CatalogueList* holder = catalogue::ListById(lists, copy.list);
    if (holder == nullptr) continue;
    std::vector<std::pair<std::string, uint64_t>> places;
    MountedPlaces(mounted, *holder, copy.path, &places);
    for (const auto& [path, device] : places) {
      platform::FileInfo info;
      // The device of the file itself: a folder may hold another file system's mount.
      const uint64_t lies_on = platform::StatPath(path, &info) ? info.device : device;
      if (lies_on == own_device) continue;
      const std::string& at = path;  // a lambda may not take a structured binding
      const bool known = std::any_of(candidates.begin(), candidates.end(),
                                     [&](const Candidate& c) { return c.path == at; });
      if (known) continue;
      FileKey copy_key{VolumeKey(*holder), copy.path, copy.size, copy.write_time,
                       catalogue::ContentKeyText(*copy.id)};
      candidates.push_back({path, std::move(copy_key)});
    }
  }
  return candidates;
}

}  // namespace repair
