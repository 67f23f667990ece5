#include "catalogue/volumes.h"

#include "lists/list_reader.h"
#include "lists/list_system.h"

namespace catalogue {

bool SameVolume(const CatalogueList& a, const CatalogueList& b) {
  if (a.serial != b.serial || a.label != b.label) return false;
  return a.serial != 0 || a.search_path == b.search_path;
}

std::string PathOnVolume(const CatalogueList& list, std::string_view path) {
  std::string below = lists::PathBelowRoot(path, list.root_column);
  return below.empty() ? std::string(path) : below;
}

bool SameFile(const CatalogueList& list, std::string_view path, const CatalogueList& other,
              std::string_view other_path) {
  const bool windows = lists::PathStyleOfList(list.search_path) == platform::PathStyle::kWindows ||
                       lists::PathStyleOfList(other.search_path) == platform::PathStyle::kWindows;
  return SameVolume(list, other) &&
         lists::SameListedPath(PathOnVolume(list, path), PathOnVolume(other, other_path), windows);
}

std::vector<std::vector<const CatalogueList*>> ListsByVolume(
    const std::vector<CatalogueList>& lists) {
  std::vector<std::vector<const CatalogueList*>> volumes;
  for (const CatalogueList& list : lists) {
    auto found = volumes.begin();
    while (found != volumes.end() && !SameVolume(*found->front(), list)) ++found;
    if (found == volumes.end()) {
      volumes.push_back({&list});
    } else {
      found->push_back(&list);
    }
  }
  return volumes;
}

std::vector<SharedSerial> SharedSerials(
    const std::vector<std::vector<const CatalogueList*>>& volumes) {
  std::vector<SharedSerial> shared;
  for (size_t i = 0; i < volumes.size(); ++i) {
    const uint32_t serial = volumes[i].front()->serial;
    const auto same_serial = [&](size_t j) { return volumes[j].front()->serial == serial; };
    bool said = serial == 0;
    for (size_t j = 0; j < i && !said; ++j) said = same_serial(j);
    if (said) continue;
    SharedSerial found{serial, {volumes[i].front()->label}};
    for (size_t j = i + 1; j < volumes.size(); ++j) {
      if (same_serial(j)) found.labels.push_back(volumes[j].front()->label);
    }
    if (found.labels.size() > 1) shared.push_back(std::move(found));
  }
  return shared;
}

size_t VolumeCount(const std::vector<const CatalogueList*>& lists) {
  size_t count = 0;
  for (size_t i = 0; i < lists.size(); ++i) {
    if (lists[i] == nullptr) continue;
    bool seen = false;
    for (size_t j = 0; j < i && !seen; ++j) {
      seen = lists[j] != nullptr && SameVolume(*lists[j], *lists[i]);
    }
    if (!seen) ++count;
  }
  return count;
}

CatalogueList ListOutsideCatalogue(const std::string& list_path, const lists::IdList& read) {
  CatalogueList list;
  list.id = -1;
  list.path = list_path;
  list.search_path = read.search_path();
  const lists::RunHeader& header = read.last_header();
  list.label = header.label;
  list.serial = header.serial;
  list.root_column = header.root_column;
  return list;
}

}  // namespace catalogue
