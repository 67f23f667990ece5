#include "catalogue/catalogue_index.h"

#include <algorithm>
#include <cstdio>

#include "catalogue/file_query.h"
#include "catalogue/volumes.h"
#include "lists/list_format.h"
#include "names/segment_search.h"

namespace catalogue {

namespace {

constexpr int64_t kShortFileFlag = int64_t{1} << 60;
constexpr int kShortFileCountShift = 48;
constexpr int64_t kGroupBase = 100000;  // each group of a content id has 5 digits

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

}  // namespace

std::optional<int64_t> ContentKey(std::string_view id_text) {
  if (id_text.size() != lists::kIdTextWidth) return std::nullopt;
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
    out.resize(lists::kIdTextWidth, ' ');
    return out;
  }
  std::snprintf(text, sizeof(text), "%05lld %05lld", static_cast<long long>(key / kGroupBase),
                static_cast<long long>(key % kGroupBase));
  return text;
}

CatalogueIndex::CatalogueIndex(std::vector<std::string> folders, std::string index_path,
                               std::string list_ext)
    : folders_(std::move(folders)),
      index_path_(std::move(index_path)),
      list_ext_(std::move(list_ext)) {}

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
    list.state = static_cast<lists::ListState>(rows.Int(10));
    list.errors = rows.Int(11) != 0;
    lists.push_back(std::move(list));
  }
  return lists;
}

bool CatalogueIndex::LoadParts() {
  if (loaded_) return true;
  // A writer may replace a segment between the reading of its name and its opening:
  // the names are read again then.
  for (int attempt = 0; attempt < 3; ++attempt) {
    parts_.clear();
    Statement rows;
    if (!db_.Prepare("SELECT id, part, part_size, part_mtime FROM lists"
                     " WHERE error IS NULL AND part IS NOT NULL ORDER BY path",
                     &rows)) {
      error_ = db_.ErrorText();
      return false;
    }
    bool gone = false;
    while (rows.Step()) {
      // In place: the segment reads through its file.
      Part& part = parts_.emplace_back();
      part.list = rows.Int(0);
      const std::string path = PartsFolder() + std::string(rows.Bytes(1));
      if (!part.file.Open(path)) {
        gone = gone || part.file.NotFound();
        parts_.pop_back();
        continue;
      }
      // One that is not as written is left out; the next refresh reads its list again.
      if (static_cast<int64_t>(part.file.size()) != rows.Int(2) ||
          part.file.write_ns() != rows.Int(3) || !part.segment.Open(&part.file)) {
        parts_.pop_back();
      }
    }
    if (rows.Failed()) {
      error_ = db_.ErrorText();
      return false;
    }
    if (!gone) break;
  }
  loaded_ = true;
  return true;
}

const CatalogueIndex::Part* CatalogueIndex::PartOf(int64_t list) const {
  for (const Part& part : parts_) {
    if (part.list == list) return &part;
  }
  return nullptr;
}

CatalogueFile CatalogueIndex::FileOf(const Part& part, uint32_t file) const {
  names::Segment::Facts facts;
  part.segment.ReadFacts(file, &facts);
  CatalogueFile found;
  found.row = (part.list << 32) | file;
  found.list = part.list;
  found.path = std::move(facts.path);
  found.size = facts.size;
  found.write_time = facts.write_time;
  if (facts.key >= 0) found.id = facts.key;
  return found;
}

namespace {

// The first of the part's keyed files at or after (key, size).
size_t FirstKeyed(const names::Segment& s, int64_t key, uint64_t size) {
  size_t low = 0;
  size_t high = s.keyed();
  while (low < high) {
    const size_t mid = (low + high) / 2;
    const uint32_t file = s.KeyedFile(static_cast<uint32_t>(mid));
    if (s.Key(file) < key || (s.Key(file) == key && s.Size(file) < size)) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return low;
}

}  // namespace

int64_t CatalogueIndex::Find(const FileQuery& query, size_t limit,
                             const std::function<void(const CatalogueFile&)>& found,
                             const std::function<void()>& shown) {
  if (!LoadParts()) return -1;
  const names::SegmentSearch search(query.name, query.whole_path);
  int64_t count = 0;
  const Part* part = nullptr;
  const auto take = [&](uint32_t file) {
    const names::Segment& s = part->segment;
    if ((query.min_size && s.Size(file) < *query.min_size) ||
        (query.max_size && s.Size(file) > *query.max_size) ||
        (query.from_time && s.WriteTime(file) < *query.from_time) ||
        (query.to_time && s.WriteTime(file) > *query.to_time) ||
        (query.id && s.Key(file) != *query.id)) {
      return true;
    }
    if (static_cast<size_t>(count++) < limit) {
      found(FileOf(*part, file));
      if (static_cast<size_t>(count) == limit && shown) shown();
    }
    return true;
  };
  std::vector<uint32_t> with_id;
  for (const Part& each : parts_) {
    if (!query.lists.empty() &&
        std::find(query.lists.begin(), query.lists.end(), each.list) == query.lists.end()) {
      continue;
    }
    part = &each;
    if (!query.id) {
      if (!search.Run(each.segment, take, stop_)) break;
      continue;
    }
    // An id picks its few files from the sorted keys.
    const names::Segment& s = each.segment;
    with_id.clear();
    for (size_t at = FirstKeyed(s, *query.id, 0);
         at < s.keyed() && s.Key(s.KeyedFile(static_cast<uint32_t>(at))) == *query.id; ++at) {
      with_id.push_back(s.KeyedFile(static_cast<uint32_t>(at)));
    }
    std::sort(with_id.begin(), with_id.end());
    for (const uint32_t file : with_id) {
      if (search.Matches(s, file)) take(file);
    }
  }
  if (stop_ != nullptr && stop_->load(std::memory_order_relaxed)) {
    error_ = "stopped";
    return -1;
  }
  return count;
}

bool CatalogueIndex::CopyIn(const Part& part, const CatalogueList& own,
                            const CatalogueList& holder, const std::string& path, size_t first,
                            int64_t key, uint64_t size, uint32_t* copy) const {
  const names::Segment& s = part.segment;
  // A list of the same volume may hold the file itself, which is no copy of it.
  const bool same_volume = !path.empty() && SameVolume(own, holder);
  for (size_t at = first; at < s.keyed(); ++at) {
    const uint32_t file = s.KeyedFile(static_cast<uint32_t>(at));
    if (s.Key(file) != key || s.Size(file) != size) return false;
    if (same_volume &&
        SameFile(own, path, holder, std::string(s.Dir(s.DirOf(file))).append(s.Name(file)))) {
      continue;
    }
    *copy = file;
    return true;
  }
  return false;
}

bool CatalogueIndex::Copies(
    int64_t list,
    const std::function<void(const CatalogueFile&, const std::vector<CatalogueFile>&)>& each,
    const std::function<bool(const std::vector<int64_t>& lists)>& wanted) {
  if (!LoadParts()) return false;
  const std::vector<CatalogueList> lists = Lists();
  const Part* own_part = PartOf(list);
  const CatalogueList* own = ListById(lists, list);
  if (own_part == nullptr || own == nullptr) return true;
  const names::Segment& mine = own_part->segment;
  // Each own file's copies as (part, file), found by walking the sorted keys of the list
  // and of each other list side by side, each read whole.
  std::vector<names::Segment::Keyed> own_keys, other_keys;
  mine.ReadKeyed(&own_keys);
  std::vector<std::vector<std::pair<uint32_t, uint32_t>>> found(mine.files());
  names::Segment::Facts facts;
  for (uint32_t p = 0; p < parts_.size(); ++p) {
    const Part& other = parts_[p];
    const CatalogueList* holder = ListById(lists, other.list);
    if (other.list == list || holder == nullptr) continue;
    other.segment.ReadKeyed(&other_keys);
    // A list of the same volume may hold the file itself, which is no copy of it.
    const bool same_volume = SameVolume(*own, *holder);
    size_t j = 0;
    for (const names::Segment::Keyed& file : own_keys) {
      if (file.size == 0) continue;
      while (j < other_keys.size() && (other_keys[j].key < file.key ||
                                        (other_keys[j].key == file.key && other_keys[j].size < file.size))) {
        ++j;
      }
      for (size_t k = j; k < other_keys.size() && other_keys[k].key == file.key &&
                         other_keys[k].size == file.size;
           ++k) {
        if (same_volume) {
          mine.ReadFacts(file.file, &facts);
          const std::string path = facts.path;
          other.segment.ReadFacts(other_keys[k].file, &facts);
          if (SameFile(*own, path, *holder, facts.path)) continue;
        }
        found[file.file].push_back({p, other_keys[k].file});
        break;
      }
    }
  }
  std::vector<CatalogueFile> copies;
  std::vector<int64_t> holders;
  for (uint32_t file = 0; file < mine.files(); ++file) {
    if (mine.Key(file) < 0 || mine.Size(file) == 0) continue;
    if (wanted) {
      holders.clear();
      for (const auto& [p, copy] : found[file]) holders.push_back(parts_[p].list);
      if (!wanted(holders)) continue;
    }
    copies.clear();
    for (const auto& [p, copy] : found[file]) copies.push_back(FileOf(parts_[p], copy));
    // The list's own files in order: read in the mapping, where they lie in a row.
    CatalogueFile own_file;
    own_file.row = (own_part->list << 32) | file;
    own_file.list = own_part->list;
    own_file.path.assign(mine.Dir(mine.DirOf(file))).append(mine.Name(file));
    own_file.size = mine.Size(file);
    own_file.write_time = mine.WriteTime(file);
    own_file.id = mine.Key(file);
    each(own_file, copies);
  }
  return true;
}

std::vector<CatalogueFile> CatalogueIndex::CopiesOf(const CatalogueList& own,
                                                    const std::string& path, uint64_t size,
                                                    int64_t key) {
  std::vector<CatalogueFile> copies;
  if (size == 0 || !LoadParts()) return copies;
  const std::vector<CatalogueList> lists = Lists();
  for (const Part& part : parts_) {
    const CatalogueList* holder = ListById(lists, part.list);
    if (part.list == own.id || holder == nullptr) continue;
    uint32_t copy = 0;
    if (CopyIn(part, own, *holder, path, FirstKeyed(part.segment, key, size), key, size,
               &copy)) {
      copies.push_back(FileOf(part, copy));
    }
  }
  return copies;
}

int64_t CatalogueIndex::FilesWithoutCopyKey(int64_t list) {
  if (!LoadParts()) return 0;
  const Part* part = PartOf(list);
  if (part == nullptr) return 0;
  int64_t count = 0;
  for (uint32_t file = 0; file < part->segment.files(); ++file) {
    if (part->segment.Key(file) < 0 || part->segment.Size(file) == 0) ++count;
  }
  return count;
}

}  // namespace catalogue
