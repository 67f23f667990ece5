#pragma once
// Where a volume stands: how much of it was checked within its cycle, what is overdue,
// what was found damaged and not mended since.

#include <cstdint>
#include <optional>
#include <string>

#include "catalogue/catalogue_index.h"
#include "lists/list_reader.h"
#include "scrub/history.h"

namespace scrub {

struct VolumeStatus {
  uint64_t files = 0;  // the files scrub can judge (a size and an id)
  uint64_t bytes = 0;
  uint64_t cycle_files = 0;  // checked within the cycle
  uint64_t cycle_bytes = 0;
  uint64_t never_checked = 0;
  uint64_t overdue = 0;  // checked (or first seen) longer ago than the cycle
  uint64_t damaged = 0;  // last check corrupted or unreadable, not mended since
  VolumeFacts facts;
  bool known = false;  // the history has the volume
};

// The status of the volume of `list`, read as `read`, by its newest lines.
bool StatusOf(History* history, const catalogue::CatalogueList& list, const lists::IdList& read,
              uint32_t cycle, VolumeStatus* status);

}  // namespace scrub
