#include "scrub/status_board.h"

#include <utility>

#include "catalogue/sqlite_db.h"
#include "platform/files.h"
#include "scrub/volume_run.h"

namespace scrub {

namespace {

using VolumeStamp = StatusBoard::VolumeStamp;

// Every volume's stamp in one pass over the small tables: the newest ended run (its
// start beside the largest id, as SQLite gives a bare column beside max()) and the newest
// mend. Checks are written only inside a run, and a mend adds its row.
constexpr char kStamps[] =
    "SELECT v.key, v.clock, v.last_run, r.id, r.start, m.last FROM volumes v"
    " LEFT JOIN (SELECT volume, max(id) AS id, start FROM runs GROUP BY volume) r"
    " ON r.volume = v.id"
    " LEFT JOIN (SELECT volume, max(rowid) AS last FROM mends GROUP BY volume) m"
    " ON m.volume = v.id";

bool ReadStamps(const std::string& path, std::unordered_map<std::string, VolumeStamp>* stamps,
                std::string* error) {
  catalogue::Database db;
  catalogue::Statement read;
  if (!db.Open(path) || !db.Prepare(kStamps, &read)) {
    *error = "cannot read " + path + ": " + db.ErrorText();
    return false;
  }
  while (read.Step()) {
    VolumeStamp& stamp = (*stamps)[std::string(read.Bytes(0))];
    stamp.clock = read.Int(1);
    stamp.last_run = read.IsNull(2) ? -1 : read.Int(2);
    stamp.run_row = read.IsNull(3) ? 0 : read.Int(3);
    stamp.run_start = read.IsNull(4) ? 0 : read.Int(4);
    stamp.last_mend = read.IsNull(5) ? 0 : read.Int(5);
  }
  if (read.Failed()) *error = "cannot read " + path + ": " + db.ErrorText();
  return !read.Failed();
}

// A run started and not ended (running now, or killed) writes checks no stamp shows:
// its volume's lists are read each time until a run ends.
bool Settled(const VolumeStamp& stamp) {
  return stamp.last_run < 0 || (stamp.run_row != 0 && stamp.last_run == stamp.run_start);
}

bool StampOf(const std::string& list, StatusBoard::ListStamp* stamp) {
  platform::FileInfo info;
  if (!platform::StatPath(list, &info)) return false;
  *stamp = {info.size, info.write_ns, info.change_ns, info.inode};
  return true;
}

// Until the history says otherwise, every byte waits for its first check.
VolumeStatus Unchecked(const catalogue::CatalogueList& list) {
  VolumeStatus status;
  status.files = list.files;
  status.bytes = list.bytes;
  status.never_checked = list.files;
  return status;
}

}  // namespace

bool StatusBoard::Update(const std::string& history_path,
                         const std::vector<catalogue::CatalogueList>& lists, uint32_t cycle,
                         std::vector<VolumeStatus>* statuses, std::string* error) {
  lists_read_ = 0;
  statuses->clear();
  for (const catalogue::CatalogueList& list : lists) statuses->push_back(Unchecked(list));
  std::unordered_map<std::string, VolumeStamp> stamps;
  platform::FileInfo file;
  if (history_path.empty() || !platform::StatPath(history_path, &file)) {
    seen_.clear();
    return true;
  }
  // Opened first: it makes the tables of a history that has none yet.
  History history;
  if (!history.Open(history_path)) {
    *error = history.error();
    return false;
  }
  if (!ReadStamps(history_path, &stamps, error)) return false;
  std::unordered_map<std::string, Seen> kept;
  for (size_t i = 0; i < lists.size(); ++i) {
    const catalogue::CatalogueList& list = lists[i];
    Seen now;
    if (!StampOf(list.path, &now.list)) continue;
    now.volume = VolumeKey(list);
    now.cycle = cycle;
    const auto stamp = stamps.find(now.volume);
    if (stamp != stamps.end()) now.stamp = stamp->second;
    const auto was = seen_.find(list.path);
    if (was != seen_.end() && was->second.list == now.list && was->second.volume == now.volume &&
        was->second.stamp == now.stamp && was->second.cycle == cycle && Settled(now.stamp)) {
      (*statuses)[i] = was->second.status;
      kept.emplace(list.path, std::move(was->second));
      continue;
    }
    lists::IdList read;
    lists::ListReadError read_error;
    // A list that cannot be read shows as never checked; the index says why.
    if (!lists::ReadIdList(list.path, &read, &read_error)) continue;
    if (!StatusOf(&history, list, read, cycle, &now.status)) {
      *error = history.error();
      return false;
    }
    ++lists_read_;
    (*statuses)[i] = now.status;
    kept.insert_or_assign(list.path, std::move(now));
  }
  seen_ = std::move(kept);
  return true;
}

}  // namespace scrub
