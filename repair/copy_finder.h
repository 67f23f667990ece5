#pragma once
// Where the copies of a listed file are now: the files of other lists with its size and
// id, on a volume mounted now that is another than the file's own (another serial and
// label, or another device: a clone relabelled or not).

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/catalogue_index.h"
#include "catalogue/mounted.h"
#include "repair/repair_file.h"

namespace repair {

// The volume of a list as a history key names it: its serial text and label.
std::string VolumeKey(const catalogue::CatalogueList& list);

// The candidates for the file at `listed_path` of `own` (`size` bytes, id field `id`),
// which lies on the device `own_device` now. Empty when the id is none a copy can share.
std::vector<Candidate> FindCandidates(catalogue::CatalogueIndex* index,
                                      const std::vector<catalogue::CatalogueList>& lists,
                                      const catalogue::CatalogueList& own,
                                      const std::vector<catalogue::MountedVolume>& mounted,
                                      const FileKey& key, uint64_t own_device);

}  // namespace repair
