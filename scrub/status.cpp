#include "scrub/status.h"

#include <algorithm>

#include "catalogue/volumes.h"
#include "scrub/selection.h"
#include "scrub/volume_run.h"

namespace scrub {

bool StatusOf(History* history, const catalogue::CatalogueList& list, const lists::IdList& read,
              uint32_t cycle, VolumeStatus* status) {
  *status = {};
  const std::string volume = VolumeKey(list);
  VolumeClock clock;
  StaleTable table;
  status->known = history->PeekClock(volume, &clock);
  if (status->known &&
      (!history->LoadStale(clock.volume, &table) || !history->Facts(volume, &status->facts))) {
    return false;
  }
  const StaleIndex index(table);
  for (const lists::ListedFile& file : read.files()) {
    if (!file.has_id || !file.has_size || file.ambiguous || file.size == 0) continue;
    const std::optional<int64_t> id = catalogue::ContentKey(file.id_text());
    if (!id) continue;
    ++status->files;
    status->bytes += file.size;
    const std::string path = catalogue::PathOnVolume(list, read.FullPath(file));
    const int64_t at = index.Find(LineHash(path, file.size, file.write_time, *id));
    if (at < 0) {
      ++status->never_checked;
      continue;
    }
    const uint64_t key = UnpackStale(table.keys[static_cast<size_t>(at)]);
    const uint64_t since = clock.now - std::min(clock.now, StaleClock(key));
    if (since >= cycle) ++status->overdue;
    if (table.damaged[static_cast<size_t>(at)]) ++status->damaged;
    if (!StaleChecked(key)) {
      ++status->never_checked;
    } else if (since < cycle) {
      ++status->cycle_files;
      status->cycle_bytes += file.size;
    }
  }
  return true;
}

}  // namespace scrub
