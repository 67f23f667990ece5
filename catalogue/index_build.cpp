// Opening, building and refreshing the catalogue index: one writer at a time, the others
// answering from what it has committed.

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <new>

#include "catalogue/catalogue_index.h"
#include "catalogue/list_header.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/case_fold.h"

namespace catalogue {

namespace {

// Names are found by trigram: an index of every three characters of every name, in
// which a query looks up the trigrams of its text and reads only the names holding all
// of them. The index holds each name as support::FoldedName writes it (valid UTF-8,
// case folded), so that it reads names exactly as the matcher does. Without positions
// ("detail=none") and without a copy of the text ("content=''") it is a fraction of the
// names' size; the candidates are then matched exactly.
constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value);"
    "CREATE TABLE IF NOT EXISTS lists(id INTEGER PRIMARY KEY, path BLOB UNIQUE NOT NULL,"
    " size INTEGER, mtime INTEGER, error TEXT, name BLOB, label BLOB, serial INTEGER,"
    " search_path BLOB, root_column INTEGER, files INTEGER, bytes INTEGER, run_start TEXT,"
    " state INTEGER, errors INTEGER);"
    "CREATE TABLE IF NOT EXISTS dirs(id INTEGER PRIMARY KEY, path BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS files(id INTEGER PRIMARY KEY, list INTEGER NOT NULL,"
    " dir INTEGER NOT NULL, name BLOB NOT NULL, size INTEGER NOT NULL, mtime INTEGER NOT NULL,"
    " cid INTEGER);";

// Made once the first lists are in: an index built over rows already there is sorted
// once, where one kept up row by row would be written all over for each list.
constexpr char kSearchSchema[] =
    "CREATE INDEX IF NOT EXISTS files_copy ON files(cid, size);"
    "CREATE VIRTUAL TABLE names USING fts5(name, content='', tokenize='trigram case_sensitive 1',"
    " detail=none);"
    "INSERT INTO names(rowid, name) SELECT id, search_name(name) FROM files;";

constexpr const char* kIndexTails[] = {"", "-wal", "-shm", "-journal"};

uint64_t Fnv1a(std::string_view text) {
  uint64_t hash = 1469598103934665603ull;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

std::string SearchName(std::string_view name) { return support::FoldedName(name); }

// Reads a list file whole. A list a running scan holds exclusively is read without the
// lock, as it stands: the run only appends to it.
bool ReadListText(const std::string& path, std::unique_ptr<char[]>* text, size_t* size,
                  std::string* error) {
  platform::File file;
  if (!file.Open(path, platform::OpenMode::kReadShared)) {
    if (file.ErrorText() != platform::kInUseText || !file.Open(path, platform::OpenMode::kRead)) {
      *error = file.ErrorText();
      return false;
    }
  }
  if (!file.ReadToEnd(text, size)) {
    *error = file.ErrorText();
    return false;
  }
  return true;
}

bool HasTable(Database* db, const char* name, bool* has) {
  Statement found;
  if (!db->Prepare("SELECT COUNT(*) FROM sqlite_master WHERE name = ?", &found)) return false;
  found.BindBytes(1, name);
  if (!found.Step()) return false;
  *has = found.Int(0) != 0;
  return true;
}

using Stamps = std::map<std::string, std::pair<int64_t, int64_t>>;  // path: size, write time

}  // namespace

struct CatalogueIndex::Present {
  Stamps lists;
  std::vector<std::string> unread;  // folders whose lists stay as they were

  bool Kept(const std::string& path) const {
    for (const std::string& folder : unread) {
      if (path.starts_with(folder)) return true;
    }
    return false;
  }
};

std::string IndexPathFor(const std::vector<std::string>& folders) {
  std::string cache = platform::GetEnv("XDG_CACHE_HOME");
  if (cache.empty() || cache[0] != '/') {
    const std::string home = platform::GetEnv("HOME");
    if (home.empty()) return {};
    cache = home + "/.cache";
  }
  if (cache.back() != '/') cache += '/';
  std::vector<std::string> sorted = folders;
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  std::string joined;
  for (const std::string& folder : sorted) joined += folder + '\n';
  char name[40];
  std::snprintf(name, sizeof(name), "catalogue-%016llx.db",
                static_cast<unsigned long long>(Fnv1a(joined)));
  return cache + "checker/" + name;
}

void CatalogueIndex::KeepPrivate() {
  const size_t slash = index_path_.rfind('/');
  bool changed = false;
  if (slash != std::string::npos) {
    const std::string folder = index_path_.substr(0, slash + 1);
    platform::MakeDirs(folder);
    platform::KeepToOwner(folder, &changed);
  }
  platform::FileInfo info;
  if (!platform::StatPath(index_path_, &info)) {
    // SQLite gives the logs the mode of the index file.
    platform::File made;
    if (made.Open(index_path_, platform::OpenMode::kOpenOrCreateLocked)) made.Close();
    platform::KeepToOwner(index_path_, &changed);
    return;
  }
  bool opened = false;
  for (const char* tail : {"", "-wal", "-shm"}) {
    opened = (platform::KeepToOwner(index_path_ + tail, &changed) && changed) || opened;
  }
  if (opened) {
    notes_.push_back("the catalogue index " + index_path_ +
                     " could be read by others; now only its owner can");
  }
}

bool CatalogueIndex::OpenDatabase(const std::string& path) {
  dir_path_.Finalize();
  last_dir_ = -1;
  searchable_ = false;
  return db_.Open(path) && db_.DefineFunction("search_name", SearchName);
}

bool CatalogueIndex::CreateTables() {
  // Under the write lock, so that tables another connection made meanwhile are kept.
  Statement put;
  const bool ok = db_.Exec("BEGIN IMMEDIATE") && db_.Exec(kSchema) &&
                  db_.Prepare("INSERT OR IGNORE INTO meta(key, value) VALUES('version', ?)", &put);
  if (ok) {
    put.BindInt(1, kIndexVersion);
    put.Step();
  }
  if (!ok || put.Failed() || !db_.Exec("COMMIT")) {
    db_.Rollback();
    return false;
  }
  return true;
}

bool CatalogueIndex::MakeSearchable() {
  bool there = false;
  if (!db_.Exec("BEGIN IMMEDIATE") || !HasTable(&db_, "names", &there) ||
      (!there && !db_.Exec(kSearchSchema)) || !db_.Exec("COMMIT")) {
    db_.Rollback();
    return false;
  }
  searchable_ = true;
  return true;
}

bool CatalogueIndex::Fail(const std::string& doing) {
  if (error_.empty()) {
    error_ = "cannot " + doing + " the catalogue index " + index_path_ + ": " + db_.ErrorText();
  }
  if (!fresh_) return false;
  // A first index that failed half-way would fail every later query the same way.
  dir_path_.Finalize();
  db_.Close();
  writer_ = false;
  searchable_ = false;
  for (const char* tail : kIndexTails) platform::RemoveFile(index_path_ + tail);
  return false;
}

bool CatalogueIndex::Rebuild(const std::string& why) {
  dir_path_.Finalize();
  db_.Close();
  for (const char* tail : kIndexTails) platform::RemoveFile(index_path_ + tail);
  notes_.push_back("the catalogue index " + index_path_ + " " + why + "; building it again");
  fresh_ = true;
  KeepPrivate();
  if (!OpenDatabase(index_path_) ||
      !db_.Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL") || !CreateTables()) {
    return Fail("write");
  }
  return true;
}

bool CatalogueIndex::OpenIndex() {
  if (db_.IsOpen() && writer_) return true;
  writer_ = true;
  platform::FileInfo info;
  const bool existed = platform::StatPath(index_path_, &info) && info.size > 0;
  fresh_ = !existed;
  if (!OpenDatabase(index_path_)) return existed ? Rebuild("is damaged") : Fail("write");
  // The index is rebuilt from the lists after a crash, so a commit need not wait for
  // the disk, only keep the file whole.
  if (!db_.Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA cache_size=-65536")) {
    return existed ? Rebuild("is damaged") : Fail("write");
  }
  if (!existed) return CreateTables() || Fail("write");
  Statement version;
  if (!db_.Prepare("SELECT value FROM meta WHERE key = 'version'", &version) || !version.Step()) {
    return Rebuild("is damaged");
  }
  if (version.Int(0) != kIndexVersion) return Rebuild("is of another version");
  version.Finalize();
  return HasTable(&db_, "names", &searchable_) || Rebuild("is damaged");
}

void CatalogueIndex::ReadFolders(Present* present) {
  const std::string tail = "." + list_ext_;
  for (const std::string& folder : folders_) {
    platform::DirReader reader;
    const bool opened = reader.Open(folder);
    std::string_view entry;
    platform::EntryKind kind;
    while (opened && reader.Next(&entry, &kind)) {
      if (entry.empty() || entry[0] == '.' || !entry.ends_with(tail)) continue;
      const std::string path = folder + std::string(entry);
      platform::FileInfo info;
      if (kind == platform::EntryKind::kFile && reader.Stat(entry, &info)) {
        present->lists[path] = {static_cast<int64_t>(info.size), info.write_ns};
      } else if (kind == platform::EntryKind::kOther) {
        const platform::PathKind what = platform::PathKindOf(path);
        if (what == platform::PathKind::kLink || what == platform::PathKind::kLinkToDirectory) {
          notes_.push_back(path + " is a symbolic link; give the list itself");
        }
      }
    }
    if (opened && !reader.Failed()) continue;
    notes_.push_back("cannot read the catalogue folder " + folder + ": " + reader.ErrorText() +
                     "; its lists stay in the index as they were");
    present->unread.push_back(folder);
  }
}

void CatalogueIndex::OpenCommitted(const Present& present) {
  db_.Close();
  writer_ = false;
  bool current = false;
  if (OpenDatabase(index_path_)) {
    Statement version;
    current = db_.Prepare("SELECT value FROM meta WHERE key = 'version'", &version) &&
              version.Step() && version.Int(0) == kIndexVersion;
    version.Finalize();
    current = current && HasTable(&db_, "names", &searchable_);
  }
  if (!current) {
    // Nothing committed yet, or an index being built again: empty tables answer.
    db_.Close();
    OpenDatabase(":memory:");
    CreateTables();
  }
  Stamps known;
  Statement rows;
  if (db_.Prepare("SELECT path, size, mtime FROM lists", &rows)) {
    while (rows.Step()) known[std::string(rows.Bytes(0))] = {rows.Int(1), rows.Int(2)};
  }
  size_t missing = 0;
  for (const auto& [path, stamp] : present.lists) {
    const auto found = known.find(path);
    if (found == known.end() || found->second != stamp) ++missing;
  }
  if (missing == 0) return;
  const bool one = missing == 1;
  notes_.push_back(std::to_string(missing) + (one ? " list is" : " lists are") +
                   " not in the catalogue index yet: another command is indexing " +
                   (one ? "it; this answer leaves it out" : "them; this answer leaves them out"));
}

bool CatalogueIndex::IndexList(const std::string& path, int64_t size, int64_t mtime) {
  std::unique_ptr<char[]> text;
  size_t text_size = 0;
  std::string read_error;
  scan::IdList list;
  scan::ListReadError parse_error;
  RunHeader header;
  std::string error;
  try {
    if (!ReadListText(path, &text, &text_size, &read_error)) {
      error = "cannot read it: " + read_error;
    } else {
      const std::string_view view(text.get(), text_size);
      ReadLastRunHeader(view, &header);
      if (!scan::ParseIdList(std::move(text), text_size, &list, &parse_error)) {
        error = "line " + std::to_string(parse_error.line) + ": " + parse_error.message;
      }
    }
  } catch (const std::bad_alloc&) {
    error = "not enough memory to read it";
  }
  if (!error.empty()) notes_.push_back(path + ": " + error + "; left out of the catalogue");
  // A list that could not be read at all is tried again next time (a size it never
  // has); one that is no list stays out until it changes.
  if (!read_error.empty()) size = -1;
  return StoreList(path, size, mtime, error.empty() ? &list : nullptr, header, error);
}

bool CatalogueIndex::Refresh(const IndexProgress& progress) {
  notes_.clear();
  error_.clear();
  KeepPrivate();
  Present present;
  ReadFolders(&present);
  // One writer at a time; the others answer from what it has committed so far.
  if (!builder_.Open(index_path_ + ".lock", platform::OpenMode::kOpenOrCreateLocked) &&
      builder_.ErrorText() == platform::kInUseText) {
    OpenCommitted(present);
    return true;
  }
  const bool ok = Update(present, progress);
  builder_.Close();
  return ok;
}

bool CatalogueIndex::Update(const Present& present, const IndexProgress& progress) {
  const size_t own_notes = notes_.size();
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!OpenIndex()) return false;
    // What the index holds.
    struct Known {
      int64_t id, size, mtime;
      std::string error;
    };
    std::map<std::string, Known> known;
    Statement rows;
    if (db_.Prepare("SELECT id, path, size, mtime, error FROM lists", &rows)) {
      while (rows.Step()) {
        known[std::string(rows.Bytes(1))] = {rows.Int(0), rows.Int(2), rows.Int(3),
                                             std::string(rows.Bytes(4))};
      }
    }
    bool ok = !rows.Failed();
    rows.Finalize();
    for (const auto& [path, old] : known) {
      if (!ok || present.lists.count(path) != 0 || present.Kept(path)) continue;
      ok = db_.Exec("BEGIN IMMEDIATE") && DropList(old.id) && db_.Exec("COMMIT");
      if (!ok) db_.Rollback();
    }
    std::vector<std::string> to_read;
    for (const auto& [path, stamp] : present.lists) {
      const auto found = known.find(path);
      if (found == known.end() || found->second.size != stamp.first ||
          found->second.mtime != stamp.second) {
        to_read.push_back(path);
      } else if (!found->second.error.empty()) {
        notes_.push_back(path + ": " + found->second.error + "; left out of the catalogue");
      }
    }
    for (size_t i = 0; ok && i < to_read.size(); ++i) {
      if (stop_ != nullptr && stop_->load(std::memory_order_relaxed)) {
        error_ = "stopped";
        return false;
      }
      if (progress) progress(i, to_read.size(), to_read[i]);
      const auto& stamp = present.lists.at(to_read[i]);
      ok = IndexList(to_read[i], stamp.first, stamp.second);
    }
    if (ok && progress && (!searchable_ || !to_read.empty())) {
      progress(to_read.size(), to_read.size(), "");
    }
    if (ok && !searchable_) ok = MakeSearchable();
    // The log holds what the refresh wrote; fold it into the index file now.
    if (ok && !to_read.empty()) db_.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
    if (ok) return true;
    if (!error_.empty() || !db_.Damaged() || attempt > 0) break;
    notes_.resize(own_notes);
    if (!Rebuild("is damaged")) return false;
  }
  return Fail("update");
}

}  // namespace catalogue
