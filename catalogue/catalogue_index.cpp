#include "catalogue/catalogue_index.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "catalogue/list_header.h"
#include "catalogue/name_match.h"
#include "catalogue/volumes.h"
#include "lists/list_format.h"
#include "support/case_fold.h"

namespace catalogue {

namespace {

constexpr int64_t kShortFileFlag = int64_t{1} << 60;
constexpr int kShortFileCountShift = 48;
constexpr int64_t kGroupBase = 100000;  // each group of a content id has 5 digits

// Each list owns the row ids of its files and directories from its own id times 2^28 on,
// so that its rows are found, replaced and dropped as one range whatever changed.
constexpr int kListRowShift = 28;
int64_t FirstRowOf(int64_t list) { return list << kListRowShift; }
int64_t LastRowOf(int64_t list) { return ((list + 1) << kListRowShift) - 1; }

// The lists' columns that Lists() reads, in CatalogueList's order.
constexpr char kListColumns[] =
    "id, path, name, label, serial, search_path, root_column, files, bytes, run_start, state,"
    " errors";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

std::optional<int64_t> ContentKey(std::string_view id_text) {
  if (id_text.size() != scan::kIdTextWidth) return std::nullopt;
  if (id_text[0] == '$') {
    int64_t bytes = 0;
    int64_t count = 0;
    for (size_t i = 1; i + 1 < id_text.size() && id_text[i] != ' '; i += 2) {
      const int high = HexValue(id_text[i]);
      const int low = HexValue(id_text[i + 1]);
      if (high < 0 || low < 0) return std::nullopt;
      bytes = (bytes << 8) | (high << 4) | low;
      ++count;
    }
    return kShortFileFlag | (count << kShortFileCountShift) | bytes;
  }
  int64_t high = 0;
  int64_t low = 0;
  for (size_t i = 0; i < id_text.size(); ++i) {
    const char c = id_text[i];
    if (i == 5) {
      if (c != ' ') return std::nullopt;
      continue;
    }
    if (c < '0' || c > '9') return std::nullopt;
    int64_t& group = i < 5 ? high : low;
    group = group * 10 + (c - '0');
  }
  return high * kGroupBase + low;
}

std::string ContentKeyText(int64_t key) {
  char text[32];
  if ((key & kShortFileFlag) != 0) {
    const int count = static_cast<int>((key >> kShortFileCountShift) & 0xff);
    std::string out = "$";
    for (int i = count - 1; i >= 0; --i) {
      std::snprintf(text, sizeof(text), "%02X", static_cast<unsigned>((key >> (8 * i)) & 0xff));
      out += text;
    }
    out.resize(scan::kIdTextWidth, ' ');
    return out;
  }
  std::snprintf(text, sizeof(text), "%05lld %05lld", static_cast<long long>(key / kGroupBase),
                static_cast<long long>(key % kGroupBase));
  return text;
}

std::string WriteTimeText(uint64_t write_time) {
  if (write_time == 0) return std::string(scan::kTimeWidth, ' ');
  const std::string digits = std::to_string(write_time);
  if (digits.size() != 14) return std::string(scan::kTimeWidth, ' ');
  return digits.substr(0, 4) + "-" + digits.substr(4, 2) + "-" + digits.substr(6, 2) + " " +
         digits.substr(8, 2) + ":" + digits.substr(10, 2) + ":" + digits.substr(12, 2);
}

CatalogueIndex::CatalogueIndex(std::vector<std::string> folders, std::string index_path,
                               std::string list_ext)
    : folders_(std::move(folders)),
      index_path_(std::move(index_path)),
      list_ext_(std::move(list_ext)) {}

bool CatalogueIndex::DropList(int64_t id) {
  Statement step;
  // The trigram index of external content forgets a row only when told its text.
  const std::pair<const char*, bool> deletes[] = {
      {"INSERT INTO names(names, rowid, name) SELECT 'delete', id, search_name(name) FROM files"
       " WHERE id BETWEEN ?1 AND ?2",
       searchable_},
      {"DELETE FROM files WHERE id BETWEEN ?1 AND ?2", true},
      {"DELETE FROM dirs WHERE id BETWEEN ?1 AND ?2", true},
      {"DELETE FROM lists WHERE id = ?3", true},
  };
  for (const auto& [sql, wanted] : deletes) {
    if (!wanted) continue;
    if (!db_.Prepare(sql, &step)) return false;
    step.BindInt(1, FirstRowOf(id));
    step.BindInt(2, LastRowOf(id));
    step.BindInt(3, id);
    step.Step();
    if (step.Failed()) return false;
  }
  return true;
}

bool CatalogueIndex::StoreList(const std::string& path, int64_t size, int64_t mtime,
                               const scan::IdList* list, const RunHeader& header,
                               const std::string& error) {
  if (!db_.Exec("BEGIN IMMEDIATE")) return false;
  const auto fail = [&] {
    db_.Rollback();
    return false;
  };
  Statement old;
  if (!db_.Prepare("SELECT id, error IS NULL FROM lists WHERE path = ?", &old)) return fail();
  old.BindBytes(1, path);
  std::optional<int64_t> old_id;
  bool old_read = false;
  if (old.Step()) {
    old_id = old.Int(0);
    old_read = old.Int(1) != 0;
  }
  // A statement left in the middle of its rows would keep every later commit from
  // being checkpointed, and the log would grow by the whole index.
  old.Reset();
  if (old.Failed()) return fail();
  // A list read before keeps its rows where they still hold: a disk scanned again
  // changes in a few files.
  const bool update = old_id && old_read && list != nullptr;
  if (old_id && !update && !DropList(*old_id)) return fail();

  Statement put;
  if (!db_.Prepare(update ? "UPDATE lists SET size = ?1, mtime = ?2 WHERE id = ?4"
                          : "INSERT INTO lists(path, size, mtime, error) VALUES(?3, ?1, ?2, ?5)",
                   &put)) {
    return fail();
  }
  put.BindInt(1, size);
  put.BindInt(2, mtime);
  put.BindBytes(3, path);
  if (update) put.BindInt(4, *old_id);
  if (list == nullptr) put.BindBytes(5, error);
  put.Step();
  if (put.Failed()) return fail();
  const int64_t list_id = update ? *old_id : db_.LastRowId();
  if (list == nullptr) return db_.Exec("COMMIT") || fail();
  if (list_id > kMaxListId) {
    error_ = "the catalogue index holds too many lists; delete it to build it again";
    return fail();
  }
  uint64_t bytes = 0;
  if (!StoreRows(list_id, *list, &bytes)) return fail();
  if (!StoreFacts(list_id, path, *list, header, bytes)) return fail();
  return db_.Exec("COMMIT") || fail();
}

bool CatalogueIndex::StoreFacts(int64_t list_id, const std::string& path, const scan::IdList& list,
                                const RunHeader& header, uint64_t bytes) {
  const size_t slash = path.rfind('/');
  std::string name = path.substr(slash + 1);
  if (EndsWith(name, "." + list_ext_)) name.resize(name.size() - list_ext_.size() - 1);
  Statement facts;
  if (!db_.Prepare("UPDATE lists SET name = ?, label = ?, serial = ?, search_path = ?,"
                   " root_column = ?, files = ?, bytes = ?, run_start = ?, state = ?, errors = ?"
                   " WHERE id = ?",
                   &facts)) {
    return false;
  }
  facts.BindBytes(1, name);
  facts.BindBytes(2, header.label);
  facts.BindInt(3, header.serial);
  facts.BindBytes(4, list.search_path());
  facts.BindInt(5, header.root_column);
  facts.BindInt(6, static_cast<int64_t>(list.files().size()));
  facts.BindInt(7, static_cast<int64_t>(bytes));
  facts.BindBytes(8, header.start_time);
  facts.BindInt(9, static_cast<int64_t>(list.state()));
  facts.BindInt(10, header.errors ? 1 : 0);
  facts.BindInt(11, list_id);
  facts.Step();
  return !facts.Failed();
}

// The rows the index holds of one list: directories by path, files by full path, and
// the next free ids of the list's range.
struct CatalogueIndex::OldRows {
  struct File {
    int64_t id;
    int64_t size, mtime;
    int64_t cid;  // -1 for none
    std::string name;
    bool kept = false;
  };
  std::unordered_map<std::string, int64_t> dirs;
  std::unordered_map<std::string, File> files;
  std::unordered_map<int64_t, bool> used_dirs;
  int64_t next_dir = 0;
  int64_t next_file = 0;
  int64_t last = 0;
};

namespace {

// Runs a prepared statement once with its bindings and makes it ready for the next.
bool StepOnce(Statement* statement) {
  statement->Step();
  statement->Reset();
  return !statement->Failed();
}

}  // namespace

bool CatalogueIndex::LoadOldRows(int64_t list_id, OldRows* old) {
  const int64_t first = FirstRowOf(list_id);
  old->last = LastRowOf(list_id);
  old->next_dir = first;
  old->next_file = first;
  Statement rows;
  if (!db_.Prepare("SELECT id, path FROM dirs WHERE id BETWEEN ?1 AND ?2", &rows)) return false;
  rows.BindInt(1, first);
  rows.BindInt(2, old->last);
  while (rows.Step()) {
    old->dirs.emplace(rows.Bytes(1), rows.Int(0));
    old->next_dir = rows.Int(0) + 1;
  }
  if (rows.Failed() ||
      !db_.Prepare("SELECT f.id, d.path, f.name, f.size, f.mtime, f.cid FROM files f"
                   " JOIN dirs d ON d.id = f.dir WHERE f.id BETWEEN ?1 AND ?2",
                   &rows)) {
    return false;
  }
  rows.BindInt(1, first);
  rows.BindInt(2, old->last);
  while (rows.Step()) {
    std::string full(rows.Bytes(1));
    full.append(rows.Bytes(2));
    old->files.emplace(std::move(full), OldRows::File{rows.Int(0), rows.Int(3), rows.Int(4),
                                                      rows.IsNull(5) ? -1 : rows.Int(5),
                                                      std::string(rows.Bytes(2))});
    old->next_file = std::max(old->next_file, rows.Int(0) + 1);
  }
  return !rows.Failed();
}

bool CatalogueIndex::StoreDirs(const scan::IdList& list, OldRows* old,
                               std::vector<int64_t>* dir_ids) {
  Statement insert_dir;
  if (!db_.Prepare("INSERT INTO dirs(id, path) VALUES(?, ?)", &insert_dir)) return false;
  for (const std::string_view directory : list.directories()) {
    const auto found = old->dirs.find(std::string(directory));
    if (found != old->dirs.end()) {
      dir_ids->push_back(found->second);
      old->used_dirs[found->second] = true;
      continue;
    }
    if (old->next_dir > old->last) return false;
    insert_dir.BindInt(1, old->next_dir);
    insert_dir.BindBytes(2, directory);
    if (!StepOnce(&insert_dir)) return false;
    dir_ids->push_back(old->next_dir++);
  }
  return true;
}

bool CatalogueIndex::StoreFiles(int64_t list_id, const scan::IdList& list,
                                const std::vector<int64_t>& dir_ids, OldRows* old,
                                uint64_t* bytes) {
  Statement insert_file, update_file, insert_name;
  if (!db_.Prepare("INSERT INTO files(id, list, dir, name, size, mtime, cid)"
                   " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)",
                   &insert_file) ||
      !db_.Prepare("UPDATE files SET dir = ?3, size = ?5, mtime = ?6, cid = ?7 WHERE id = ?1",
                   &update_file) ||
      (searchable_ && !db_.Prepare("INSERT INTO names(rowid, name) VALUES(?, ?)", &insert_name))) {
    return false;
  }
  std::string full;
  for (const scan::ListedFile& listed : list.files()) {
    *bytes += listed.size;
    // -1: no id (keys are never negative).
    const int64_t key = listed.has_id ? ContentKey(listed.id_text()).value_or(-1) : -1;
    const int64_t size = static_cast<int64_t>(listed.size);
    const int64_t time = static_cast<int64_t>(listed.write_time);
    full.assign(list.directory(listed));
    full.append(listed.name());
    const auto found = old->files.find(full);
    Statement* write = &insert_file;
    if (found != old->files.end()) {
      OldRows::File& was = found->second;
      was.kept = true;
      if (was.size == size && was.mtime == time && was.cid == key) continue;
      write = &update_file;
      write->BindInt(1, was.id);
    } else {
      if (old->next_file > old->last) return false;
      write->BindInt(1, old->next_file);
      write->BindInt(2, list_id);
      write->BindBytes(4, listed.name());
    }
    write->BindInt(3, dir_ids[listed.dir]);
    write->BindInt(5, size);
    write->BindInt(6, time);
    if (key >= 0) {
      write->BindInt(7, key);
    } else {
      write->BindNull(7);
    }
    if (!StepOnce(write)) return false;
    if (write != &insert_file) continue;
    if (searchable_) {
      insert_name.BindInt(1, old->next_file);
      insert_name.BindBytes(2, support::FoldedName(listed.name()));
      if (!StepOnce(&insert_name)) return false;
    }
    ++old->next_file;
  }
  return true;
}

bool CatalogueIndex::ForgetRows(const OldRows& old) {
  Statement forget_name, forget_file, forget_dir;
  if ((searchable_ && !db_.Prepare("INSERT INTO names(names, rowid, name) VALUES('delete', ?, ?)",
                                   &forget_name)) ||
      !db_.Prepare("DELETE FROM files WHERE id = ?", &forget_file) ||
      !db_.Prepare("DELETE FROM dirs WHERE id = ?", &forget_dir)) {
    return false;
  }
  for (const auto& [unused, file] : old.files) {
    if (file.kept) continue;
    if (searchable_) {
      forget_name.BindInt(1, file.id);
      forget_name.BindBytes(2, support::FoldedName(file.name));
      if (!StepOnce(&forget_name)) return false;
    }
    forget_file.BindInt(1, file.id);
    if (!StepOnce(&forget_file)) return false;
  }
  for (const auto& [unused, id] : old.dirs) {
    if (old.used_dirs.count(id) != 0) continue;
    forget_dir.BindInt(1, id);
    if (!StepOnce(&forget_dir)) return false;
  }
  return true;
}

bool CatalogueIndex::StoreRows(int64_t list_id, const scan::IdList& list, uint64_t* bytes) {
  OldRows old;
  std::vector<int64_t> dir_ids;
  return LoadOldRows(list_id, &old) && StoreDirs(list, &old, &dir_ids) &&
         StoreFiles(list_id, list, dir_ids, &old, bytes) && ForgetRows(old);
}

std::vector<CatalogueList> CatalogueIndex::Lists() {
  std::vector<CatalogueList> lists;
  Statement rows;
  if (!db_.Prepare(
          std::string("SELECT ") + kListColumns + " FROM lists WHERE error IS NULL ORDER BY path",
          &rows)) {
    return lists;
  }
  while (rows.Step()) {
    CatalogueList list;
    list.id = rows.Int(0);
    list.path = rows.Bytes(1);
    list.name = rows.Bytes(2);
    list.label = rows.Bytes(3);
    list.serial = static_cast<uint32_t>(rows.Int(4));
    list.search_path = rows.Bytes(5);
    list.root_column = static_cast<int>(rows.Int(6));
    list.files = static_cast<uint64_t>(rows.Int(7));
    list.bytes = static_cast<uint64_t>(rows.Int(8));
    list.run_start = rows.Bytes(9);
    list.state = static_cast<scan::ListState>(rows.Int(10));
    list.errors = rows.Int(11) != 0;
    lists.push_back(std::move(list));
  }
  return lists;
}

std::string CatalogueIndex::FilePath(int64_t dir, std::string_view name) {
  // Files come directory by directory: the last directory is looked up once.
  if (dir != last_dir_) {
    last_dir_path_.clear();
    if (!dir_path_.Prepared() && !db_.Prepare("SELECT path FROM dirs WHERE id = ?", &dir_path_)) {
      return std::string(name);
    }
    dir_path_.BindInt(1, dir);
    if (dir_path_.Step()) last_dir_path_ = dir_path_.Bytes(0);
    dir_path_.Reset();
    last_dir_ = dir;
  }
  std::string path = last_dir_path_;
  path.append(name);
  return path;
}

namespace {

// Columns 0-6 of a file row: id, list, dir, name, size, mtime, cid.
constexpr char kFileColumns[] = "f.id, f.list, f.dir, f.name, f.size, f.mtime, f.cid";

void ReadFileRow(const Statement& row, int first, CatalogueFile* file) {
  file->row = row.Int(first);
  file->list = row.Int(first + 1);
  file->size = static_cast<uint64_t>(row.Int(first + 4));
  file->write_time = static_cast<uint64_t>(row.Int(first + 5));
  file->id = row.IsNull(first + 6) ? std::nullopt : std::optional<int64_t>(row.Int(first + 6));
}

// The volume facts of a list, from the columns label, serial, search_path, root_column.
constexpr char kVolumeColumns[] = "l.label, l.serial, l.search_path, l.root_column";

void ReadVolumeRow(const Statement& row, int first, CatalogueList* list) {
  list->label = row.Bytes(first);
  list->serial = static_cast<uint32_t>(row.Int(first + 1));
  list->search_path = row.Bytes(first + 2);
  list->root_column = static_cast<int>(row.Int(first + 3));
}

}  // namespace

int64_t CatalogueIndex::Find(const FileQuery& query, size_t limit,
                             const std::function<void(const CatalogueFile&)>& found) {
  const NameMatcher matcher(query.name);
  // While another command builds a first index, the names are not indexed yet.
  const bool by_trigram = searchable_ && !matcher.trigram_query().empty();
  std::string sql = std::string("SELECT ") + kFileColumns;
  sql += by_trigram ? " FROM names JOIN files f ON f.id = names.rowid WHERE names MATCH ?1"
                    : " FROM files f WHERE 1";
  if (query.min_size) sql += " AND f.size >= ?2";
  if (query.max_size) sql += " AND f.size <= ?3";
  if (query.from_time) sql += " AND f.mtime >= ?4";
  if (query.to_time) sql += " AND f.mtime <= ?5";
  if (query.id) sql += " AND f.cid = ?6";
  if (!query.lists.empty()) {
    sql += " AND f.list IN (";
    for (size_t i = 0; i < query.lists.size(); ++i) {
      sql += (i == 0 ? "" : ",") + std::to_string(query.lists[i]);
    }
    sql += ")";
  }
  Statement rows;
  if (!db_.Prepare(sql, &rows)) {
    error_ = db_.ErrorText();
    return -1;
  }
  if (by_trigram) rows.BindBytes(1, matcher.trigram_query());
  if (query.min_size) rows.BindInt(2, static_cast<int64_t>(*query.min_size));
  if (query.max_size) rows.BindInt(3, static_cast<int64_t>(*query.max_size));
  if (query.from_time) rows.BindInt(4, static_cast<int64_t>(*query.from_time));
  if (query.to_time) rows.BindInt(5, static_cast<int64_t>(*query.to_time));
  if (query.id) rows.BindInt(6, *query.id);
  int64_t count = 0;
  CatalogueFile file;
  while (rows.Step()) {
    const std::string_view name = rows.Bytes(3);
    if (!matcher.Matches(name)) continue;
    if (static_cast<size_t>(count++) >= limit) continue;
    ReadFileRow(rows, 0, &file);
    file.path = FilePath(rows.Int(2), name);
    found(file);
  }
  if (rows.Failed()) {
    error_ = db_.ErrorText();
    return -1;
  }
  return count;
}

bool CatalogueIndex::Copies(
    int64_t list,
    const std::function<void(const CatalogueFile&, const std::vector<CatalogueFile>&)>& each) {
  CatalogueList own;
  for (CatalogueList& known : Lists()) {
    if (known.id == list) own = std::move(known);
  }
  // The list's files in path order, each with the files of other lists that share its
  // size and id, found through the (id, size) index.
  Statement rows;
  if (!db_.Prepare(std::string("SELECT ") + kFileColumns +
                       ", o.id, o.list, o.dir, o.name, o.size, o.mtime, o.cid, " + kVolumeColumns +
                       " FROM files f JOIN dirs d ON d.id = f.dir"
                       " LEFT JOIN files o ON o.cid = f.cid AND o.size = f.size"
                       " AND o.list <> f.list LEFT JOIN lists l ON l.id = o.list"
                       " WHERE f.id BETWEEN ?1 AND ?2 AND f.cid IS NOT NULL AND f.size > 0"
                       " ORDER BY d.path, f.name, f.id",
                   &rows)) {
    return false;
  }
  rows.BindInt(1, FirstRowOf(list));
  rows.BindInt(2, LastRowOf(list));
  CatalogueFile file;
  int64_t file_dir = 0;
  std::string file_name;
  std::vector<CatalogueFile> copies;
  CatalogueList other;
  const auto emit = [&] {
    if (file.path.empty()) file.path = FilePath(file_dir, file_name);
    each(file, copies);
  };
  file.row = 0;
  while (rows.Step()) {
    if (rows.Int(0) != file.row) {
      if (file.row != 0) emit();
      ReadFileRow(rows, 0, &file);
      file_dir = rows.Int(2);
      file_name = rows.Bytes(3);
      file.path.clear();
      copies.clear();
    }
    if (rows.IsNull(7)) continue;
    const int64_t other_list = rows.Int(8);
    const bool seen = std::any_of(copies.begin(), copies.end(),
                                  [&](const CatalogueFile& c) { return c.list == other_list; });
    if (seen) continue;
    CatalogueFile copy;
    ReadFileRow(rows, 7, &copy);
    ReadVolumeRow(rows, 14, &other);
    copy.path = FilePath(rows.Int(9), rows.Bytes(10));
    if (SameVolume(own, other)) {
      if (file.path.empty()) file.path = FilePath(file_dir, file_name);
      if (SameFile(own, file.path, other, copy.path)) continue;
    }
    copies.push_back(std::move(copy));
  }
  if (rows.Failed()) return false;
  if (file.row != 0) emit();
  return true;
}

std::vector<CatalogueFile> CatalogueIndex::CopiesOf(const CatalogueList& own,
                                                    const std::string& path, uint64_t size,
                                                    int64_t key) {
  std::vector<CatalogueFile> copies;
  Statement rows;
  if (size == 0 || !db_.Prepare(std::string("SELECT ") + kFileColumns + ", " + kVolumeColumns +
                                    " FROM files f JOIN lists l ON l.id = f.list"
                                    " WHERE f.cid = ?1 AND f.size = ?2 AND f.list <> ?3"
                                    " ORDER BY l.path, f.id",
                                &rows)) {
    return copies;
  }
  rows.BindInt(1, key);
  rows.BindInt(2, static_cast<int64_t>(size));
  rows.BindInt(3, own.id);
  CatalogueList other;
  while (rows.Step()) {
    if (!copies.empty() && copies.back().list == rows.Int(1)) continue;
    CatalogueFile copy;
    ReadFileRow(rows, 0, &copy);
    copy.path = FilePath(rows.Int(2), rows.Bytes(3));
    ReadVolumeRow(rows, 7, &other);
    if (SameFile(own, path, other, copy.path)) continue;
    copies.push_back(std::move(copy));
  }
  return copies;
}

int64_t CatalogueIndex::FilesWithoutCopyKey(int64_t list) {
  Statement rows;
  if (!db_.Prepare("SELECT COUNT(*) FROM files WHERE id BETWEEN ?1 AND ?2"
                   " AND (cid IS NULL OR size = 0)",
                   &rows)) {
    return 0;
  }
  rows.BindInt(1, FirstRowOf(list));
  rows.BindInt(2, LastRowOf(list));
  return rows.Step() ? rows.Int(0) : 0;
}

}  // namespace catalogue
