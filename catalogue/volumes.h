#pragma once
// Which lists of the catalogue are of one volume. A disk is listed again under a dated
// name, a list is copied into another catalogue folder, a folder of a disk is listed
// beside the whole disk: the lists are many, the volume one, and a file on it is one
// file whichever list names it.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_index.h"
#include "lists/list_reader.h"

namespace catalogue {

// Lists of one volume: the same serial and label (a clone relabelled is another disk).
// Lists without a serial are of one volume only when their search paths match too.
bool SameVolume(const CatalogueList& a, const CatalogueList& b);

// A listed file's path below its volume's root, so that a list of a folder and a list
// of the whole disk name a file alike; the whole path when the root is not known.
std::string PathOnVolume(const CatalogueList& list, std::string_view path);

// Whether the file at `path` of `list` is the file at `other_path` of `other`.
bool SameFile(const CatalogueList& list, std::string_view path, const CatalogueList& other,
              std::string_view other_path);

// The lists by volume: each volume's lists in the order given, the volumes in the
// order of their first lists.
std::vector<std::vector<const CatalogueList*>> ListsByVolume(
    const std::vector<CatalogueList>& lists);

// A serial that volumes of different labels share: a clone, or a disk relabelled.
struct SharedSerial {
  uint32_t serial = 0;
  std::vector<std::string> labels;  // in the order of the volumes
};
std::vector<SharedSerial> SharedSerials(
    const std::vector<std::vector<const CatalogueList*>>& volumes);

// How many volumes the lists are of (null ones left out).
size_t VolumeCount(const std::vector<const CatalogueList*>& lists);

// The volume facts of an id list that is not in the catalogue, from its last run
// header and the search path it names, as `read` from `list_path` (id -1). The label
// and serial stay empty when no header holds them.
CatalogueList ListOutsideCatalogue(const std::string& list_path, const lists::IdList& read);

}  // namespace catalogue
