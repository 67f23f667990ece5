// Opening, building and refreshing the catalogue index: one writer at a time, the others
// answering from what it has committed.

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <thread>

#include "catalogue/catalogue_index.h"
#include "lists/list_reader.h"
#include "platform/app_dirs.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace catalogue {

namespace {

// The lists' facts; each list's files lie in its name segment, a file in the parts
// folder that `part` names, with the size and write time it was written with.
constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value);"
    "CREATE TABLE IF NOT EXISTS lists(id INTEGER PRIMARY KEY, path BLOB UNIQUE NOT NULL,"
    " size INTEGER, mtime INTEGER, error TEXT, name BLOB, label BLOB, serial INTEGER,"
    " search_path BLOB, root_column INTEGER, files INTEGER, bytes INTEGER, run_start TEXT,"
    " state INTEGER, errors INTEGER, part TEXT, part_size INTEGER, part_mtime INTEGER);";

constexpr char kPartTail[] = ".names";
// Lists read ahead of the one being stored, at most.
constexpr size_t kReadAhead = 2;

constexpr const char* kIndexTails[] = {"", "-wal", "-shm", "-journal"};

uint64_t Fnv1a(std::string_view text) {
  uint64_t hash = 1469598103934665603ull;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

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

// Removes the folder's files and the folder itself.
void RemoveFolder(const std::string& folder) {
  platform::DirReader reader;
  if (!reader.Open(folder)) return;
  std::string_view entry;
  platform::EntryKind kind;
  std::vector<std::string> names;
  while (reader.Next(&entry, &kind)) {
    if (entry != "." && entry != "..") names.emplace_back(entry);
  }
  reader.Close();
  for (const std::string& name : names) platform::RemoveFile(folder + name);
  platform::RemoveDir(folder);
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
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
  const std::string cache = platform::CacheHome();
  if (cache.empty()) return {};
  std::vector<std::string> sorted = folders;
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  std::string joined;
  for (const std::string& folder : sorted) joined += folder + '\n';
  char name[40];
  std::snprintf(name, sizeof(name), "catalogue-%016llx.db",
                static_cast<unsigned long long>(Fnv1a(joined)));
  return cache + "checker" + platform::kSeparator + name;
}

void CatalogueIndex::KeepPrivate() {
  const size_t slash = index_path_.find_last_of(platform::kSeparators);
  bool changed = false;
  if (slash != std::string::npos) {
    platform::MakePrivateFolder(index_path_.substr(0, slash + 1), "checker", &changed);
  }
  platform::MakeDirs(PartsFolder());
  platform::KeepToOwner(PartsFolder(), &changed);
  platform::FileInfo info;
  if (!platform::StatPath(index_path_, &info)) {
    // SQLite gives the logs the mode of the index file.
    platform::File made;
    if (made.Open(index_path_, platform::OpenMode::kOpenOrCreateLocked)) made.Close();
    platform::KeepToOwner(index_path_, &changed);
    return;
  }
  bool opened = false;
  for (const std::string& path : {index_path_, index_path_ + "-wal", index_path_ + "-shm"}) {
    opened = (platform::KeepToOwner(path, &changed) && changed) || opened;
  }
  if (opened) {
    notes_.push_back("the catalogue index " + index_path_ +
                     " could be read by others; now only its owner can");
  }
}

bool CatalogueIndex::CreateTables() {
  // Under the write lock, so that tables another connection made meanwhile are kept.
  Statement put;
  const bool ok = db_.Exec("BEGIN IMMEDIATE") && db_.Exec(kSchema) &&
                  db_.Prepare("INSERT OR IGNORE INTO meta(key, value) VALUES('version', ?)", &put);
  if (ok) {
    put.BindInt(1, kIndexFormat);
    put.Step();
  }
  if (!ok || put.Failed() || !db_.Exec("COMMIT")) {
    db_.Rollback();
    return false;
  }
  return true;
}

bool CatalogueIndex::Fail(const std::string& doing) {
  if (error_.empty()) {
    error_ = "cannot " + doing + " the catalogue index " + index_path_ + ": " + db_.ErrorText();
  }
  if (!fresh_) return false;
  // A first index that failed half-way would fail every later query the same way.
  db_.Close();
  writer_ = false;
  for (const char* tail : kIndexTails) platform::RemoveFile(index_path_ + tail);
  RemoveFolder(PartsFolder());
  return false;
}

bool CatalogueIndex::Rebuild(const std::string& why) {
  db_.Close();
  parts_.clear();
  loaded_ = false;
  for (const char* tail : kIndexTails) platform::RemoveFile(index_path_ + tail);
  RemoveFolder(PartsFolder());
  notes_.push_back("the catalogue index " + index_path_ + " " + why + "; building it again");
  fresh_ = true;
  KeepPrivate();
  if (!db_.Open(index_path_) || !db_.Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL") ||
      !CreateTables()) {
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
  if (!db_.Open(index_path_)) return existed ? Rebuild("is damaged") : Fail("write");
  // The index is rebuilt from the lists after a crash, so a commit need not wait for
  // the disk, only keep the file whole.
  if (!db_.Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL")) {
    return existed ? Rebuild("is damaged") : Fail("write");
  }
  if (!existed) return CreateTables() || Fail("write");
  Statement version;
  const bool read =
      db_.Prepare("SELECT value FROM meta WHERE key = 'version'", &version) && version.Step();
  const int64_t format = read ? version.Int(0) : 0;
  // Let go before a rebuild closes the file: a statement keeps it open, and Windows
  // removes no open file.
  version.Finalize();
  if (!read) return Rebuild("is damaged");
  if (format != kIndexFormat) return Rebuild("is of another version");
  return true;
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
  if (db_.Open(index_path_)) {
    Statement version;
    current = db_.Prepare("SELECT value FROM meta WHERE key = 'version'", &version) &&
              version.Step() && version.Int(0) == kIndexFormat;
  }
  if (!current) {
    // Nothing committed yet, or an index being built again: empty tables answer.
    db_.Close();
    db_.Open(":memory:");
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

struct CatalogueIndex::ReadList {
  std::string path;
  int64_t size = 0, mtime = 0;
  lists::RunHeader header;
  std::string search_path;
  lists::ListState state = lists::ListState::kNoRun;
  uint64_t files = 0, bytes = 0;
  std::string part;   // the name segment
  std::string error;  // why the list is left out
};

CatalogueIndex::ReadList CatalogueIndex::ReadAndBuild(const std::string& path, int64_t size,
                                                      int64_t mtime) {
  ReadList read;
  read.path = path;
  read.size = size;
  read.mtime = mtime;
  std::string read_error;
  try {
    std::unique_ptr<char[]> text;
    size_t text_size = 0;
    lists::IdList list;
    lists::ListReadError parse_error;
    if (!ReadListText(path, &text, &text_size, &read_error)) {
      read.error = "cannot read it: " + read_error;
      // Tried again next time (a size it never has).
      read.size = -1;
      return read;
    }
    if (!lists::ParseIdList(std::move(text), text_size, &list, &parse_error)) {
      read.error = "line " + std::to_string(parse_error.line) + ": " + parse_error.message;
      return read;
    }
    names::SegmentWriter writer;
    for (const std::string_view directory : list.directories()) writer.AddDirectory(directory);
    for (const lists::ListedFile& listed : list.files()) {
      read.bytes += listed.size;
      // -1: no id (keys are never negative).
      const int64_t key = listed.has_id ? ContentKey(listed.id_text()).value_or(-1) : -1;
      writer.AddFile(listed.dir, listed.name(), listed.size, listed.write_time, key);
    }
    read.part = writer.Finish();
    if (read.part.empty()) read.error = "its names are too many for the catalogue index";
    read.header = list.last_header();
    read.search_path = list.search_path();
    read.state = list.state();
    read.files = list.files().size();
  } catch (const std::bad_alloc&) {
    read.error = "not enough memory to read it";
    read.part.clear();
  }
  return read;
}

bool CatalogueIndex::WritePart(const std::string& name, const std::string& bytes, int64_t* size,
                               int64_t* mtime) {
  const std::string path = PartsFolder() + name;
  platform::File file;
  platform::FileInfo info;
  if (!platform::MakeDirs(PartsFolder()) || !file.Open(path, platform::OpenMode::kCreateTruncate) ||
      !file.Write(bytes) || !file.Stat(&info) || !file.Close()) {
    error_ = "cannot write the catalogue index " + path + ": " + file.ErrorText();
    file.Close();
    platform::RemoveFile(path);
    return false;
  }
  *size = static_cast<int64_t>(info.size);
  *mtime = info.write_ns;
  return true;
}

bool CatalogueIndex::StoreList(ReadList* read) {
  if (!read->error.empty()) {
    notes_.push_back(read->path + ": " + read->error + "; left out of the catalogue");
  }
  if (!db_.Exec("BEGIN IMMEDIATE")) return false;
  std::string new_part;
  const auto fail = [&] {
    db_.Rollback();
    if (!new_part.empty()) platform::RemoveFile(PartsFolder() + new_part);
    return false;
  };
  Statement step;
  if (!db_.Prepare("SELECT id, part FROM lists WHERE path = ?", &step)) return fail();
  step.BindBytes(1, read->path);
  std::optional<int64_t> id;
  std::string old_part;
  if (step.Step()) {
    id = step.Int(0);
    old_part = step.Bytes(1);
  }
  step.Reset();
  if (step.Failed()) return fail();
  if (!db_.Prepare(id ? "UPDATE lists SET size = ?1, mtime = ?2, error = ?3, part = NULL"
                        " WHERE id = ?4"
                      : "INSERT INTO lists(size, mtime, error, path) VALUES(?1, ?2, ?3, ?5)",
                   &step)) {
    return fail();
  }
  step.BindInt(1, read->size);
  step.BindInt(2, read->mtime);
  if (read->error.empty()) {
    step.BindNull(3);
  } else {
    step.BindBytes(3, read->error);
  }
  if (id) step.BindInt(4, *id);
  step.BindBytes(5, read->path);
  step.Step();
  if (step.Failed()) return fail();
  if (!id) id = db_.LastRowId();
  if (read->error.empty()) {
    // A new name each time: a reader may still map the one it replaces.
    int64_t number = 1;
    if (!db_.Prepare("SELECT value FROM meta WHERE key = 'next_part'", &step)) return fail();
    if (step.Step()) number = step.Int(0);
    step.Reset();
    new_part = std::to_string(*id) + "-" + std::to_string(number) + kPartTail;
    int64_t part_size = 0, part_mtime = 0;
    if (!db_.Prepare("INSERT OR REPLACE INTO meta(key, value) VALUES('next_part', ?)", &step)) {
      return fail();
    }
    step.BindInt(1, number + 1);
    step.Step();
    if (step.Failed() || !WritePart(new_part, read->part, &part_size, &part_mtime)) return fail();
    if (!StoreFacts(*id, *read, new_part, part_size, part_mtime)) return fail();
  }
  if (!db_.Exec("COMMIT")) return fail();
  if (!old_part.empty()) platform::RemoveFile(PartsFolder() + old_part);
  return true;
}

bool CatalogueIndex::StoreFacts(int64_t id, const ReadList& read, const std::string& part,
                                int64_t part_size, int64_t part_mtime) {
  const size_t slash = read.path.find_last_of(platform::kSeparators);
  std::string name = read.path.substr(slash + 1);
  if (EndsWith(name, "." + list_ext_)) name.resize(name.size() - list_ext_.size() - 1);
  Statement facts;
  if (!db_.Prepare("UPDATE lists SET name = ?, label = ?, serial = ?, search_path = ?,"
                   " root_column = ?, files = ?, bytes = ?, run_start = ?, state = ?, errors = ?,"
                   " part = ?, part_size = ?, part_mtime = ? WHERE id = ?",
                   &facts)) {
    return false;
  }
  facts.BindBytes(1, name);
  facts.BindBytes(2, read.header.label);
  facts.BindInt(3, read.header.serial);
  facts.BindBytes(4, read.search_path);
  facts.BindInt(5, read.header.root_column);
  facts.BindInt(6, static_cast<int64_t>(read.files));
  facts.BindInt(7, static_cast<int64_t>(read.bytes));
  facts.BindBytes(8, read.header.start_time);
  facts.BindInt(9, static_cast<int64_t>(read.state));
  facts.BindInt(10, read.header.errors ? 1 : 0);
  facts.BindBytes(11, part);
  facts.BindInt(12, part_size);
  facts.BindInt(13, part_mtime);
  facts.BindInt(14, id);
  facts.Step();
  return !facts.Failed();
}

bool CatalogueIndex::DropList(int64_t id, const std::string& part) {
  Statement drop;
  if (!db_.Exec("BEGIN IMMEDIATE")) return false;
  if (!db_.Prepare("DELETE FROM lists WHERE id = ?", &drop)) {
    db_.Rollback();
    return false;
  }
  drop.BindInt(1, id);
  drop.Step();
  if (drop.Failed() || !db_.Exec("COMMIT")) {
    db_.Rollback();
    return false;
  }
  if (!part.empty()) platform::RemoveFile(PartsFolder() + part);
  return true;
}

void CatalogueIndex::RemoveStrayParts() {
  std::set<std::string> named;
  Statement rows;
  if (!db_.Prepare("SELECT part FROM lists WHERE part IS NOT NULL", &rows)) return;
  while (rows.Step()) named.emplace(rows.Bytes(0));
  if (rows.Failed()) return;
  platform::DirReader reader;
  if (!reader.Open(PartsFolder())) return;
  std::string_view entry;
  platform::EntryKind kind;
  std::vector<std::string> stray;
  while (reader.Next(&entry, &kind)) {
    if (entry.ends_with(kPartTail) && named.count(std::string(entry)) == 0) {
      stray.emplace_back(entry);
    }
  }
  reader.Close();
  for (const std::string& name : stray) platform::RemoveFile(PartsFolder() + name);
}

bool CatalogueIndex::Refresh(const IndexProgress& progress) {
  notes_.clear();
  error_.clear();
  parts_.clear();
  loaded_ = false;
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

namespace {

// Whether the segment file is as it was written: its size, write time and header.
bool PartHolds(const std::string& path, int64_t size, int64_t mtime) {
  platform::File file;
  platform::FileInfo info;
  std::string header(names::Segment::HeaderBytes(), '\0');
  return file.Open(path, platform::OpenMode::kRead) && file.Stat(&info) &&
         static_cast<int64_t>(info.size) == size && info.write_ns == mtime &&
         file.ReadAt(header.data(), header.size(), 0) == static_cast<int64_t>(header.size()) &&
         names::Segment::HeaderFits(header, info.size);
}

}  // namespace

struct CatalogueIndex::Known {
  int64_t id = 0, size = 0, mtime = 0;
  std::string error;
  std::string part;
  int64_t part_size = 0, part_mtime = 0;
};

std::vector<std::string> CatalogueIndex::ListsToRead(const Present& present,
                                                     const std::map<std::string, Known>& known) {
  std::vector<std::string> to_read;
  for (const auto& [path, stamp] : present.lists) {
    const auto found = known.find(path);
    if (found == known.end() || found->second.size != stamp.first ||
        found->second.mtime != stamp.second) {
      to_read.push_back(path);
      continue;
    }
    const Known& was = found->second;
    if (!was.error.empty()) {
      notes_.push_back(path + ": " + was.error + "; left out of the catalogue");
      continue;
    }
    if (!PartHolds(PartsFolder() + was.part, was.part_size, was.part_mtime)) {
      notes_.push_back(path + ": its part of the catalogue index is damaged or gone;"
                              " reading the list again");
      to_read.push_back(path);
    }
  }
  return to_read;
}

bool CatalogueIndex::ReadLists(const std::vector<std::string>& paths, const Present& present,
                               const IndexProgress& progress) {
  const size_t total = paths.size();
  std::vector<std::optional<ReadList>> done(total);
  std::mutex mutex;
  std::condition_variable changed;
  size_t next = 0;
  size_t stored = 0;
  bool quit = false;
  const auto work = [&] {
    std::unique_lock<std::mutex> lock(mutex);
    while (true) {
      changed.wait(lock, [&] { return quit || next >= total || next < stored + kReadAhead; });
      if (quit || next >= total) return;
      const size_t i = next++;
      lock.unlock();
      const auto& stamp = present.lists.at(paths[i]);
      ReadList read = ReadAndBuild(paths[i], stamp.first, stamp.second);
      lock.lock();
      done[i] = std::move(read);
      changed.notify_all();
    }
  };
  const size_t workers = std::min<size_t>(total, 2);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < workers; ++i) threads.emplace_back(work);
  bool ok = true;
  for (size_t i = 0; ok && i < total; ++i) {
    if (stop_ != nullptr && stop_->load(std::memory_order_relaxed)) {
      error_ = "stopped";
      ok = false;
      break;
    }
    if (progress) progress(i, total, paths[i]);
    ReadList read;
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return done[i].has_value(); });
      read = std::move(*done[i]);
      done[i].reset();
      stored = i + 1;
      changed.notify_all();
    }
    ok = StoreList(&read);
  }
  {
    std::lock_guard<std::mutex> lock(mutex);
    quit = true;
    changed.notify_all();
  }
  for (std::thread& thread : threads) thread.join();
  return ok;
}

bool CatalogueIndex::Update(const Present& present, const IndexProgress& progress) {
  const size_t own_notes = notes_.size();
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!OpenIndex()) return false;
    std::map<std::string, Known> known;
    Statement rows;
    if (db_.Prepare("SELECT id, path, size, mtime, error, part, part_size, part_mtime FROM lists",
                    &rows)) {
      while (rows.Step()) {
        known[std::string(rows.Bytes(1))] = {rows.Int(0),
                                             rows.Int(2),
                                             rows.Int(3),
                                             std::string(rows.Bytes(4)),
                                             std::string(rows.Bytes(5)),
                                             rows.Int(6),
                                             rows.Int(7)};
      }
    }
    bool ok = !rows.Failed();
    rows.Finalize();
    for (const auto& [path, old] : known) {
      if (!ok || present.lists.count(path) != 0 || present.Kept(path)) continue;
      ok = DropList(old.id, old.part);
    }
    const std::vector<std::string> to_read = ok ? ListsToRead(present, known) : std::vector<std::string>();
    if (stop_ != nullptr && stop_->load(std::memory_order_relaxed)) {
      error_ = "stopped";
      return false;
    }
    ok = ok && ReadLists(to_read, present, progress);
    if (!ok && error_ == "stopped") return false;
    if (ok && progress && !to_read.empty()) progress(to_read.size(), to_read.size(), "");
    // The log holds what the refresh wrote; fold it into the index file now.
    if (ok && !to_read.empty()) db_.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
    if (ok) {
      RemoveStrayParts();
      return true;
    }
    if (!error_.empty() || !db_.Damaged() || attempt > 0) break;
    notes_.resize(own_notes);
    if (!Rebuild("is damaged")) return false;
  }
  return Fail("update");
}

}  // namespace catalogue
