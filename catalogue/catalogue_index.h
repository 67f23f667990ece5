#pragma once
// The catalogue: every id list of some folders, indexed in the user's cache folder so
// that a name, an id or a volume is found without reading the lists. An SQLite file keeps
// the lists' facts; each list's files lie in a mapped file of their own beside it (a
// name segment), written whole when the list is read. The index is derived and
// disposable: Refresh brings it up to date with the lists before a query, and a deleted
// index is built again. The lists stay the truth. Not thread-safe; one object per
// process and query.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/sqlite_db.h"
#include "lists/list_reader.h"
#include "names/name_segment.h"
#include "platform/files.h"
#include "platform/memory.h"

namespace catalogue {

// Bumped whenever the tables change; an index of another version is built again.
constexpr int kIndexVersion = 3;
// What the index records: its tables' version and its name segments' together, so that
// a change of either builds it again in one go.
constexpr int kIndexFormat = kIndexVersion * 1000 + static_cast<int>(names::kSegmentVersion);

// One id list as the index holds it.
struct CatalogueList {
  int64_t id = 0;
  std::string path;  // the list file
  std::string name;  // its file name without the extension
  std::string label;
  uint32_t serial = 0;
  std::string search_path;
  int root_column = 0;
  uint64_t files = 0;
  uint64_t bytes = 0;
  std::string run_start;  // "yyyy-mm-dd hh:nn:ss" of the last run
  lists::ListState state = lists::ListState::kNoRun;
  bool errors = false;  // the last run counted errors
};

// A listed file found by a query.
struct CatalogueFile {
  int64_t row = 0;
  int64_t list = 0;  // CatalogueList::id
  std::string path;
  uint64_t size = 0;
  uint64_t write_time = 0;    // yyyymmddhhnnss; 0 when the list shows none
  std::optional<int64_t> id;  // ContentKey; none for a line without an id
};

// What `find` asks for; unset parts ask for nothing.
struct FileQuery {
  // A name mask in the walk's syntax when it holds "*" or "?", else a text found
  // anywhere in the name; both without regard to case. Empty: any name.
  std::string name;
  std::optional<uint64_t> min_size, max_size;
  std::optional<uint64_t> from_time, to_time;  // yyyymmddhhnnss, both ends included
  std::optional<int64_t> id;                   // ContentKey
  std::vector<int64_t> lists;                  // empty: every list
  bool whole_path = false;  // the name matches the whole path, folders included
};

// A number for an id field that keeps ids and short files' bytes apart: the two
// 5-digit groups of a content id, or the bytes of a short file with a flag. None for
// a failure text.
std::optional<int64_t> ContentKey(std::string_view id_text);
// The id field again, as the lists write it after "F  " (11 characters).
std::string ContentKeyText(int64_t key);

// Told how the first index, or a refresh, goes: lists read so far of all that need
// reading, and the list being read.
using IndexProgress = std::function<void(size_t done, size_t total, const std::string& list)>;

class CatalogueIndex {
 public:
  // `folders`: the catalogue folders (absolute, each ending with "/"); `index_path`:
  // the index file; `list_ext`: the id lists' extension without the dot.
  CatalogueIndex(std::vector<std::string> folders, std::string index_path, std::string list_ext);

  // Opens the index, building it anew when it is missing, damaged or of another
  // version (a note says which), and brings it up to date with the lists: a list whose
  // size or write time changed is read again, a list gone is dropped, a list a running
  // scan holds is read as it stands. A list that cannot be read is left out with one
  // warning naming it and the line; a folder that cannot be read keeps its lists as they
  // were, with one warning. While another command (or object) refreshes the same index,
  // the answer is what that one has committed so far, with a note of how many lists it
  // leaves out. The index and its folder are kept to their owner. False with error()
  // (the first failure's text) when the index cannot be written at all; a first index
  // that fails is removed.
  bool Refresh(const IndexProgress& progress = nullptr);
  // A flag another thread may set to end a Refresh before its next list (false, error
  // "stopped"); what was read by then stays in the index.
  void SetStop(const std::atomic<bool>* stop) { stop_ = stop; }

  // Said during Refresh: "index rebuilt" notes and warnings about lists, one line each.
  const std::vector<std::string>& notes() const { return notes_; }
  const std::string& error() const { return error_; }

  // Every list, in the order of their paths.
  std::vector<CatalogueList> Lists();

  // Calls `found` for the first `limit` matches (in the order of the lists' paths, then
  // the files' paths) and returns how many matched in all; -1 on an error. `shown` is
  // called once the first `limit` were found, before the rest are counted. A stop flag
  // (SetStop) ends the count early (-1, error "stopped").
  int64_t Find(const FileQuery& query, size_t limit,
               const std::function<void(const CatalogueFile&)>& found,
               const std::function<void()>& shown = nullptr);

  // For each file of the list with a size above 0 and an id, in path order: the files of
  // other lists with the same size and id (at most one per list), never the file itself
  // as another list of its volume holds it (SameFile). `each` gets the file and its
  // copies. `wanted`, when given, is asked first with the lists of the copies: false
  // passes the file over before anything more of it is read. False on an error.
  bool Copies(
      int64_t list,
      const std::function<void(const CatalogueFile&, const std::vector<CatalogueFile>&)>& each,
      const std::function<bool(const std::vector<int64_t>& lists)>& wanted = nullptr);

  // The files of lists other than `own` with that size and id, one per list in the order
  // of the lists' paths, never the file at `path` of `own` itself.
  std::vector<CatalogueFile> CopiesOf(const CatalogueList& own, const std::string& path,
                                      uint64_t size, int64_t key);

  // How many files of the list have no id or are empty (Copies passes them over).
  int64_t FilesWithoutCopyKey(int64_t list);

 private:
  // One list's name segment, mapped.
  struct Part {
    int64_t list = 0;
    platform::MappedFile file;
    names::Segment segment;
  };
  // A list read and made into a segment, ready to store.
  struct ReadList;
  // The lists in the folders now, and the folders that could not be read.
  struct Present;
  // What the index holds of a list.
  struct Known;
  void ReadFolders(Present* present);
  // Brings the index up to date as its only writer.
  bool Update(const Present& present, const IndexProgress& progress);
  // Which lists must be read: new, changed, or their segment damaged or gone.
  std::vector<std::string> ListsToRead(const Present& present,
                                       const std::map<std::string, Known>& known);
  // Reads the lists (two at a time) and stores each in order; false on the first failure.
  bool ReadLists(const std::vector<std::string>& paths, const Present& present,
                 const IndexProgress& progress);
  static ReadList ReadAndBuild(const std::string& path, int64_t size, int64_t mtime);
  bool StoreList(ReadList* read);
  bool StoreFacts(int64_t id, const ReadList& read, const std::string& part, int64_t part_size,
                  int64_t part_mtime);
  bool WritePart(const std::string& name, const std::string& bytes, int64_t* size, int64_t* mtime);
  bool DropList(int64_t id, const std::string& part);
  // Removes segment files no list names (left by a writer that was stopped).
  void RemoveStrayParts();
  // Opens the index for writing, building it when it is missing, damaged or old.
  bool OpenIndex();
  bool CreateTables();
  bool Rebuild(const std::string& why);
  // Answers from what another writer has committed, without writing; notes how many of
  // the present lists that leaves out.
  void OpenCommitted(const Present& present);
  // False with error() naming the first failure; a first index that failed is removed.
  bool Fail(const std::string& doing);
  // The index's folder and files kept to their owner (a new file made so before SQLite
  // writes to it); a note when the files were open to others.
  void KeepPrivate();
  std::string PartsFolder() const { return index_path_ + "-names/"; }
  // Maps the segments of the lists the index holds, in the order of the lists' paths.
  bool LoadParts();
  const Part* PartOf(int64_t list) const;
  CatalogueFile FileOf(const Part& part, uint32_t file) const;
  // The first file of `part` from its keyed file `first` on with that key and size that
  // is not `own`'s file at `path` (SameFile; an empty path: never), or false.
  bool CopyIn(const Part& part, const CatalogueList& own, const CatalogueList& holder,
              const std::string& path, size_t first, int64_t key, uint64_t size,
              uint32_t* copy) const;

  std::vector<std::string> folders_;
  std::string index_path_;
  std::string list_ext_;
  Database db_;
  std::vector<std::string> notes_;
  std::string error_;
  const std::atomic<bool>* stop_ = nullptr;
  platform::File builder_;  // the lock of the index's only writer, held during Refresh
  bool writer_ = false;     // db_ is open for writing (not to read another's work)
  bool fresh_ = false;      // the index is being built from nothing
  bool loaded_ = false;     // parts_ are mapped
  std::deque<Part> parts_;  // never moved: each segment reads through its file
};

// The index file for a set of catalogue folders: "catalogue-<hash>.db" in
// $XDG_CACHE_HOME/checker/ (~/.cache/checker/), the hash taken over the sorted folders.
// Empty when neither variable is set.
std::string IndexPathFor(const std::vector<std::string>& folders);

}  // namespace catalogue
