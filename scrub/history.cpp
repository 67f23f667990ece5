#include "scrub/history.h"

#include <algorithm>

#include "platform/app_dirs.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "scrub/stale_pages.h"

namespace scrub {

namespace {

using catalogue::Statement;

// Bumped when the tables change. Unlike the catalogue's index the history cannot be
// built again, so a file of another version is refused, never replaced.
constexpr int kHistoryVersion = 1;

// A line is filed under its hash alone: two lines of one volume share one only by
// chance (about once in 10^12 pairs of lines), and then the later takes the row. What
// selection reads lies in stale pages beside the rows (scrub/stale_pages.h).
constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS volumes(id INTEGER PRIMARY KEY, key BLOB UNIQUE NOT NULL,"
    " clock INTEGER NOT NULL DEFAULT 0, last_run INTEGER);"
    "CREATE TABLE IF NOT EXISTS checks(volume INTEGER NOT NULL, hash INTEGER NOT NULL,"
    " path BLOB NOT NULL, size INTEGER NOT NULL, write_time INTEGER NOT NULL,"
    " id INTEGER NOT NULL, stale INTEGER NOT NULL, checked INTEGER, verdict INTEGER,"
    " id_read INTEGER, PRIMARY KEY(volume, hash)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS runs(id INTEGER PRIMARY KEY, volume INTEGER NOT NULL,"
    " start INTEGER NOT NULL, end INTEGER NOT NULL, files INTEGER NOT NULL,"
    " bytes INTEGER NOT NULL, findings INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS mends(volume INTEGER NOT NULL, path BLOB NOT NULL,"
    " time INTEGER NOT NULL, from_path BLOB NOT NULL);";

constexpr char kLineWhere[] =
    " WHERE volume = ?1 AND hash = ?2 AND path = ?3 AND size = ?4 AND write_time = ?5"
    " AND id = ?6";

uint64_t Mix(uint64_t x) {
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9ULL;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

int64_t Signed(uint64_t value) { return static_cast<int64_t>(value); }

void BindLine(Statement* statement, int64_t volume, const FileKey& key) {
  statement->BindInt(1, volume);
  statement->BindInt(2, Signed(LineHash(key)));
  statement->BindBytes(3, key.path);
  statement->BindInt(4, Signed(key.size));
  statement->BindInt(5, Signed(key.write_time));
  statement->BindInt(6, key.id);
}

}  // namespace

uint64_t LineHash(std::string_view path, uint64_t size, uint64_t write_time, int64_t id) {
  // FNV-1a over the path, then the numbers mixed in: stable across builds, as the
  // history file keeps the results.
  uint64_t hash = 0xcbf29ce484222325ULL;
  for (const char c : path) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ULL;
  }
  hash = Mix(hash ^ size);
  hash = Mix(hash ^ write_time);
  return Mix(hash ^ static_cast<uint64_t>(id));
}

std::string HistoryPath() {
  const std::string data = platform::DataHome();
  if (data.empty()) return {};
  return data + "checker" + platform::kSeparator + "history.db";
}

bool History::Fail(std::string_view doing) {
  error_ = std::string(doing) + ": " + db_.ErrorText();
  db_.Rollback();
  return false;
}

bool History::Open(const std::string& path) {
  const std::string folder = path.substr(0, path.find_last_of(platform::kSeparators) + 1);
  bool changed = false;
  if (!folder.empty() && !platform::MakePrivateFolder(folder, "checker", &changed)) {
    error_ = "cannot make the folder " + folder;
    return false;
  }
  // The folder is the owner's alone, so no one else reaches the file before this.
  if (!db_.Open(path)) return Fail("cannot open " + path);
  platform::KeepToOwner(path, &changed);
  // WAL: a scrub's batches commit without blocking a --status reading meanwhile, and a
  // kill loses no committed batch.
  if (!db_.Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL")) {
    return Fail("cannot open " + path);
  }
  Statement version;
  if (!db_.Prepare("PRAGMA user_version", &version) || !version.Step()) {
    return Fail("cannot read " + path);
  }
  const int64_t found = version.Int(0);
  version.Finalize();
  if (found != 0 && found != kHistoryVersion) {
    error_ = path + " is of another version of the program (" + std::to_string(found) + ")";
    db_.Close();
    return false;
  }
  if (found == 0 &&
      !(db_.Exec("BEGIN IMMEDIATE") && db_.Exec(kSchema) && db_.Exec(kStalePagesSchema) &&
        db_.Exec("PRAGMA user_version = " + std::to_string(kHistoryVersion)) &&
        db_.Exec("COMMIT"))) {
    return Fail("cannot write " + path);
  }
  return true;
}

bool History::VolumeRow(const std::string& volume_key, int64_t* row) {
  Statement find;
  if (!db_.Prepare("SELECT id FROM volumes WHERE key = ?1", &find)) return false;
  find.BindBytes(1, volume_key);
  if (find.Step()) {
    *row = find.Int(0);
    return true;
  }
  if (find.Failed()) return false;
  Statement add;
  if (!db_.Prepare("INSERT INTO volumes(key) VALUES(?1)", &add)) return false;
  add.BindBytes(1, volume_key);
  add.Step();
  if (add.Failed()) return false;
  *row = db_.LastRowId();
  return true;
}

bool History::StartRun(const std::string& volume_key, int64_t now, uint32_t max_step,
                       VolumeClock* clock) {
  if (!db_.Exec("BEGIN IMMEDIATE")) return Fail("cannot start a run");
  int64_t row = 0;
  if (!VolumeRow(volume_key, &row)) return Fail("cannot start a run");
  Statement read;
  if (!db_.Prepare("SELECT clock, last_run FROM volumes WHERE id = ?1", &read)) {
    return Fail("cannot start a run");
  }
  read.BindInt(1, row);
  if (!read.Step()) return Fail("cannot start a run");
  const int64_t old_clock = read.Int(0);
  const bool first = read.IsNull(1);
  const int64_t gap = first ? 0 : std::clamp<int64_t>(now - read.Int(1), 0, max_step);
  read.Finalize();
  clock->volume = row;
  clock->now = static_cast<uint32_t>(old_clock + gap);
  clock->step = first ? max_step : static_cast<uint32_t>(gap);
  Statement write;
  if (!db_.Prepare("UPDATE volumes SET clock = ?2, last_run = ?3 WHERE id = ?1", &write)) {
    return Fail("cannot start a run");
  }
  write.BindInt(1, row);
  write.BindInt(2, clock->now);
  write.BindInt(3, now);
  write.Step();
  if (write.Failed() || !db_.Exec("COMMIT")) return Fail("cannot start a run");
  return true;
}

bool History::PeekClock(const std::string& volume_key, VolumeClock* clock) {
  Statement read;
  if (!db_.Prepare("SELECT id, clock FROM volumes WHERE key = ?1", &read)) return false;
  read.BindBytes(1, volume_key);
  if (!read.Step()) return false;
  clock->volume = read.Int(0);
  clock->now = static_cast<uint32_t>(read.Int(1));
  clock->step = 0;
  return true;
}

bool History::LoadStale(int64_t volume, StaleTable* table, size_t expected) {
  return ReadStale(&db_, volume, expected, table) || Fail("cannot read the history");
}

bool History::AddSeen(int64_t volume, const std::vector<FileKey>& keys, uint32_t clock) {
  if (keys.empty()) return true;
  if (!db_.Exec("BEGIN IMMEDIATE")) return Fail("cannot write the history");
  std::vector<StaleEntry> seen;
  Statement add;
  if (!db_.Prepare("INSERT OR IGNORE INTO checks(volume, hash, path, size, write_time, id,"
                   " stale) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)",
                   &add)) {
    return Fail("cannot write the history");
  }
  for (const FileKey& key : keys) {
    BindLine(&add, volume, key);
    add.BindInt(7, Signed(StaleKey(false, clock)));
    add.Step();
    if (add.Failed()) return Fail("cannot write the history");
    add.Reset();
    seen.push_back({LineHash(key), PackStale(StaleKey(false, clock)), false});
  }
  if (!PutStale(&db_, volume, std::move(seen), true) || !db_.Exec("COMMIT")) {
    return Fail("cannot write the history");
  }
  return true;
}

bool History::Record(int64_t volume, uint32_t clock, const std::vector<CheckRecord>& checks) {
  if (checks.empty()) return true;
  if (!db_.Exec("BEGIN IMMEDIATE")) return Fail("cannot write the history");
  std::vector<StaleEntry> stale;
  Statement put;
  if (!db_.Prepare("INSERT INTO checks(volume, hash, path, size, write_time, id, stale,"
                   " checked, verdict, id_read) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"
                   " ON CONFLICT DO UPDATE SET path = ?3, size = ?4, write_time = ?5, id = ?6,"
                   " stale = ?7, checked = ?8, verdict = ?9, id_read = ?10",
                   &put)) {
    return Fail("cannot write the history");
  }
  for (const CheckRecord& check : checks) {
    BindLine(&put, volume, check.key);
    put.BindInt(7, Signed(StaleKey(true, clock)));
    put.BindInt(8, check.time);
    put.BindInt(9, static_cast<int64_t>(check.verdict));
    if (check.id_read) {
      put.BindInt(10, *check.id_read);
    } else {
      put.BindNull(10);
    }
    put.Step();
    if (put.Failed()) return Fail("cannot write the history");
    put.Reset();
    const bool damaged =
        check.verdict == Verdict::kCorrupted || check.verdict == Verdict::kUnreadable;
    stale.push_back({LineHash(check.key), PackStale(StaleKey(true, clock)), damaged});
  }
  if (!PutStale(&db_, volume, std::move(stale), false) || !db_.Exec("COMMIT")) {
    return Fail("cannot write the history");
  }
  return true;
}

bool History::EndRun(int64_t volume, int64_t start, int64_t end, uint64_t files, uint64_t bytes,
                     uint64_t findings) {
  Statement add;
  if (!db_.Prepare("INSERT INTO runs(volume, start, end, files, bytes, findings)"
                   " VALUES(?1, ?2, ?3, ?4, ?5, ?6)",
                   &add)) {
    return Fail("cannot write the history");
  }
  add.BindInt(1, volume);
  add.BindInt(2, start);
  add.BindInt(3, end);
  add.BindInt(4, Signed(files));
  add.BindInt(5, Signed(bytes));
  add.BindInt(6, Signed(findings));
  add.Step();
  return !add.Failed() || Fail("cannot write the history");
}

std::optional<LastCheck> History::Last(const FileKey& key) {
  VolumeClock clock;
  if (!PeekClock(key.volume, &clock)) return std::nullopt;
  Statement read;
  if (!db_.Prepare(std::string("SELECT checked, verdict, id_read FROM checks") + kLineWhere,
                   &read)) {
    return std::nullopt;
  }
  BindLine(&read, clock.volume, key);
  if (!read.Step() || read.IsNull(0)) return std::nullopt;
  LastCheck last;
  last.time = read.Int(0);
  last.verdict = static_cast<Verdict>(read.Int(1));
  if (!read.IsNull(2)) last.id_read = read.Int(2);
  return last;
}

bool History::RecordMend(const FileKey& key, int64_t time, const std::string& from_path) {
  if (!db_.Exec("BEGIN IMMEDIATE")) return Fail("cannot write the history");
  int64_t volume = 0;
  if (!VolumeRow(key.volume, &volume)) return Fail("cannot write the history");
  Statement clock;
  if (!db_.Prepare("SELECT clock FROM volumes WHERE id = ?1", &clock)) {
    return Fail("cannot write the history");
  }
  clock.BindInt(1, volume);
  const int64_t now = clock.Step() ? clock.Int(0) : 0;
  Statement put;
  if (!db_.Prepare("INSERT INTO checks(volume, hash, path, size, write_time, id, stale,"
                   " checked, verdict) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, NULL, ?8)"
                   " ON CONFLICT DO UPDATE SET path = ?3, size = ?4, write_time = ?5, id = ?6,"
                   " stale = ?7, checked = NULL, verdict = ?8, id_read = NULL",
                   &put)) {
    return Fail("cannot write the history");
  }
  BindLine(&put, volume, key);
  put.BindInt(7, Signed(StaleKey(false, static_cast<uint32_t>(now))));
  put.BindInt(8, static_cast<int64_t>(Verdict::kMended));
  put.Step();
  Statement mend;
  if (put.Failed() ||
      !db_.Prepare("INSERT INTO mends(volume, path, time, from_path) VALUES(?1, ?2, ?3, ?4)",
                   &mend)) {
    return Fail("cannot write the history");
  }
  mend.BindInt(1, volume);
  mend.BindBytes(2, key.path);
  mend.BindInt(3, time);
  mend.BindBytes(4, from_path);
  mend.Step();
  const StaleEntry never{LineHash(key), PackStale(StaleKey(false, static_cast<uint32_t>(now))),
                         false};
  if (mend.Failed() || !PutStale(&db_, volume, {never}, false) || !db_.Exec("COMMIT")) {
    return Fail("cannot write the history");
  }
  return true;
}

bool History::Facts(const std::string& volume_key, VolumeFacts* facts) {
  *facts = {};
  VolumeClock clock;
  if (!PeekClock(volume_key, &clock)) return false;
  Statement checks;
  if (!db_.Prepare("SELECT count(checked), min(checked) FROM checks WHERE volume = ?1", &checks)) {
    return false;
  }
  checks.BindInt(1, clock.volume);
  if (checks.Step()) {
    facts->checked_files = static_cast<uint64_t>(checks.Int(0));
    if (!checks.IsNull(1)) facts->oldest_check = checks.Int(1);
  }
  Statement runs;
  if (!db_.Prepare("SELECT start, end FROM runs WHERE volume = ?1 ORDER BY id DESC LIMIT 1",
                   &runs)) {
    return false;
  }
  runs.BindInt(1, clock.volume);
  if (runs.Step()) {
    facts->last_run_start = runs.Int(0);
    facts->last_run_end = runs.Int(1);
  }
  return true;
}

}  // namespace scrub
