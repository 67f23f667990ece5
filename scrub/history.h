#pragma once
// What scrub remembers: each file's last check and each run, in an SQLite file of the
// user's data (not the cache: the catalogue's index may be deleted, the history may not).
// A file's history follows its line: the same volume, path, size, write time and id. A
// file changed and scanned again is another line and starts anew. Not thread-safe; one
// object per process.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/sqlite_db.h"

namespace scrub {

// What a check found, as the history stores it (the numbers are kept in the file).
enum class Verdict : uint8_t {
  kUnchanged = 0,
  kTouched = 1,     // same size and id, another write time: the list is stale there
  kChanged = 2,     // another size, or another write time and id: the user's edit
  kCorrupted = 3,   // same size and write time, another id
  kUnreadable = 4,  // a read error, or the file cannot be opened
  kMissing = 5,     // gone since it was listed
  kMended = 6,      // replaced from a good copy; never checked since
};

// A file as its volume's list shows it.
struct FileKey {
  std::string volume;  // VolumeKey of the list
  std::string path;    // below the volume's root (catalogue::PathOnVolume)
  uint64_t size = 0;
  uint64_t write_time = 0;  // yyyymmddhhnnss, as the list holds it
  int64_t id = 0;           // catalogue::ContentKey of the list's id field
};

// The number the history files a line under; equal lines give equal numbers, and the
// numbers spread evenly (selection buckets them by their top bits).
uint64_t LineHash(std::string_view path, uint64_t size, uint64_t write_time, int64_t id);
inline uint64_t LineHash(const FileKey& key) {
  return LineHash(key.path, key.size, key.write_time, key.id);
}

struct LastCheck {
  int64_t time = 0;  // seconds since 1970 (UTC)
  Verdict verdict = Verdict::kUnchanged;
  std::optional<int64_t> id_read;  // ContentKey of what was read; none when nothing was
};

// One file's check, as a run writes it.
struct CheckRecord {
  FileKey key;
  int64_t time = 0;
  Verdict verdict = Verdict::kUnchanged;
  std::optional<int64_t> id_read;
};

// A volume's own clock: the seconds it was seen mounted by runs, so that a volume
// seldom mounted is not overdue each time it is.
struct VolumeClock {
  int64_t volume = 0;  // the history's row of the volume
  uint32_t now = 0;    // its clock at this run
  uint32_t step = 0;   // what it moved by (the gap a next run is expected after)
};

// Facts of a volume for --status.
struct VolumeFacts {
  uint64_t checked_files = 0;  // lines with a check
  std::optional<int64_t> oldest_check;
  std::optional<int64_t> last_run_start, last_run_end;
};

// A line's place in the stalest-first order: never checked before checked, then by
// the volume clock of the check (or of when it was first seen).
inline uint64_t StaleKey(bool checked, uint32_t clock) {
  return (static_cast<uint64_t>(checked) << 32) | clock;
}
inline uint32_t StaleClock(uint64_t key) { return static_cast<uint32_t>(key); }
inline bool StaleChecked(uint64_t key) { return (key >> 32) != 0; }
// The same in 32 bits, to the minute, as selection holds millions of them.
inline uint32_t PackStale(uint64_t key) {
  return (StaleChecked(key) ? uint32_t{1} << 31 : 0) | (StaleClock(key) / 60);
}
inline uint64_t UnpackStale(uint32_t packed) {
  return StaleKey((packed >> 31) != 0, (packed & ~(uint32_t{1} << 31)) * 60);
}

// Every line of a volume the history holds, sorted by hash.
struct StaleTable {
  std::vector<uint64_t> hashes;
  std::vector<uint32_t> keys;  // PackStale of each
  std::vector<bool> damaged;   // its last check found it corrupted or unreadable
};

class History {
 public:
  // Opens or creates the file (and its folder) kept to its owner. False with error().
  bool Open(const std::string& path);
  const std::string& error() const { return error_; }

  // Starts a run of the volume at `now`: advances its clock by the time since its last
  // run, at most `max_step` seconds (the first run moves it by nothing but expects
  // max_step). False on a failure.
  bool StartRun(const std::string& volume_key, int64_t now, uint32_t max_step, VolumeClock* clock);
  // Every line of the volume; `expected` of them reserve their room at once.
  bool LoadStale(int64_t volume, StaleTable* table, size_t expected = 0);
  // Lines of the volume not yet in the history, first seen at `clock`.
  bool AddSeen(int64_t volume, const std::vector<FileKey>& keys, uint32_t clock);
  // Checks of one batch in one transaction: a kill keeps every batch written.
  bool Record(int64_t volume, uint32_t clock, const std::vector<CheckRecord>& checks);
  bool EndRun(int64_t volume, int64_t start, int64_t end, uint64_t files, uint64_t bytes,
              uint64_t findings);

  std::optional<LastCheck> Last(const FileKey& key);
  // A mend makes the line "never checked since" and no longer damaged.
  bool RecordMend(const FileKey& key, int64_t time, const std::string& from_path);

  // The volume's facts; false when the history has no such volume (all left zero).
  bool Facts(const std::string& volume_key, VolumeFacts* facts);
  // The volume's row and clock as its last run left them, without starting a run; false
  // when the history has no such volume.
  bool PeekClock(const std::string& volume_key, VolumeClock* clock);

 private:
  bool Fail(std::string_view doing);
  bool VolumeRow(const std::string& volume_key, int64_t* row);
  catalogue::Database db_;
  std::string error_;
};

// The history file: $XDG_DATA_HOME/checker/history.db (~/.local/share/checker/). Empty
// when neither variable is set.
std::string HistoryPath();

}  // namespace scrub
