#include "audit/compare.h"

#include <algorithm>
#include <cstring>

#include "lists/list_system.h"
#include "platform/paths.h"
#include "support/text.h"

namespace audit {

namespace {

bool SameId(const lists::ListedFile& a, const lists::ListedFile& b) { return a.id_text() == b.id_text(); }

FileChange ClassifyPair(const lists::ListedFile& old_file, const lists::ListedFile& new_file) {
  if (!new_file.has_id) return FileChange::kUnreadable;
  const bool same_size = old_file.size == new_file.size;
  const bool same_time = old_file.write_time == new_file.write_time;
  // Without an old id there is nothing to compare the content with.
  const bool same_id = !old_file.has_id || SameId(old_file, new_file);
  if (same_size && same_time) return same_id ? FileChange::kUnchanged : FileChange::kCorrupted;
  if (same_size && same_id && old_file.has_id) return FileChange::kTouched;
  return FileChange::kChanged;
}

// One list as the merge walks it: its directories by the key they are matched by (the
// whole path, or the part below the list's root) and where each one's files begin.
struct Side {
  // `unify`: a list from Windows takes part, so either separator matches the other.
  Side(const lists::IdList& of, std::string_view root, bool unify) : list(of) {
    const std::vector<std::string_view>& dirs = list.directories();
    keys.reserve(dirs.size());
    // Reserved in full: the keys point into these strings.
    if (unify) unified.reserve(dirs.size());
    for (std::string_view dir : dirs) {
      // Below the root the keys never begin with "/", so they never meet a whole path.
      keys.push_back(!root.empty() && dir.starts_with(root) ? dir.substr(root.size()) : dir);
      if (!unify) continue;
      unified.emplace_back(keys.back());
      std::replace(unified.back().begin(), unified.back().end(), '\\', '/');
      keys.back() = unified.back();
    }
    order.resize(dirs.size());
    for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    // Cutting one prefix keeps the order; only directories outside the root upset it.
    if (!std::is_sorted(keys.begin(), keys.end())) {
      std::sort(order.begin(), order.end(),
                [&](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
    }
    first.assign(dirs.size() + 1, 0);
    for (const lists::ListedFile& file : list.files()) ++first[file.dir + 1];
    for (size_t i = 1; i < first.size(); ++i) first[i] += first[i - 1];
  }

  std::string_view key(const lists::ListedFile& file) const { return keys[file.dir]; }

  const lists::IdList& list;
  std::vector<std::string> unified;    // the keys with one separator, when unified
  std::vector<std::string_view> keys;  // per directory
  std::vector<uint32_t> order;         // directories by key
  std::vector<size_t> first;           // per directory and one more: its first file
};

// Whether a sorted set of paths holds the path `dir` + `name`.
bool HoldsPath(const std::vector<std::string>& paths, std::string_view dir, std::string_view name) {
  const auto at = std::lower_bound(
      paths.begin(), paths.end(), 0,
      [&](const std::string& path, int) { return lists::CompareSplitPaths(path, {}, dir, name) < 0; });
  return at != paths.end() && lists::CompareSplitPaths(*at, {}, dir, name) == 0;
}

// Whether a sorted set of directories, none below another, holds `dir` or one above it:
// only the last one not after `dir` can.
bool HoldsDirOf(const std::vector<std::string>& dirs, std::string_view dir) {
  const auto after =
      std::upper_bound(dirs.begin(), dirs.end(), dir,
                       [](std::string_view a, const std::string& b) { return a < b; });
  return after != dirs.begin() && dir.starts_with(*(after - 1));
}

// Keeps the topmost of nested directories, sorted.
void KeepTopmost(std::vector<std::string>* dirs) {
  std::sort(dirs->begin(), dirs->end());
  size_t kept = 0;
  for (size_t i = 0; i < dirs->size(); ++i) {
    if (kept > 0 && std::string_view((*dirs)[i]).starts_with((*dirs)[kept - 1])) continue;
    if (i != kept) (*dirs)[kept] = std::move((*dirs)[i]);
    ++kept;
  }
  dirs->resize(kept);
}

// The problems of the new list's scan, by the keys the merge matches paths with.
class ProblemIndex {
 public:
  // `unify`: the lists' keys have "/" for either separator (Side), and so must these.
  ProblemIndex(const std::vector<scan::ScanProblem>* problems, std::string_view root, bool unify) {
    if (problems == nullptr) return;
    const char separator = unify ? '/' : platform::kSeparator;
    for (const scan::ScanProblem& problem : *problems) {
      // The path is the name on disk; the lists write its CR and LF as "?".
      std::string key = problem.path;
      support::ReplaceLineBreaks(&key);
      if (!root.empty() && key.starts_with(root)) key.erase(0, root.size());
      if (unify) std::replace(key.begin(), key.end(), '\\', '/');
      const bool dir = !key.empty() && platform::IsSeparator(key.back());
      switch (problem.kind) {
        case scan::ProblemKind::kDirectory:
          unreadable_dirs_.push_back(dir ? key : key + separator);
          break;
        case scan::ProblemKind::kChanged:
          if (!dir) changed_.push_back(std::move(key));
          break;
        case scan::ProblemKind::kUnlistable:
          (dir ? unlistable_dirs_ : unlistable_).push_back(std::move(key));
          break;
        case scan::ProblemKind::kUnreadable:
          break;  // its line says so already
        case scan::ProblemKind::kFromMemory:
          if (!dir) from_memory_.push_back(std::move(key));
          break;
      }
    }
    std::sort(changed_.begin(), changed_.end());
    std::sort(from_memory_.begin(), from_memory_.end());
    std::sort(unlistable_.begin(), unlistable_.end());
    KeepTopmost(&unlistable_dirs_);
    KeepTopmost(&unreadable_dirs_);
    empty_ = changed_.empty() && unlistable_.empty() && unlistable_dirs_.empty() &&
             unreadable_dirs_.empty() && from_memory_.empty();
  }

  bool empty() const { return empty_; }

  // The class the problems give a file of key directory `dir` and name `name`.
  FileChange Adjust(FileChange change, std::string_view dir, std::string_view name, bool in_old,
                    bool in_new) const {
    if (HoldsPath(unlistable_, dir, name) || HoldsDirOf(unlistable_dirs_, dir)) {
      return FileChange::kNotComparable;
    }
    if (in_old && in_new &&
        (change == FileChange::kCorrupted || change == FileChange::kUnreadable) &&
        HoldsPath(changed_, dir, name)) {
      return FileChange::kChanged;
    }
    if (!in_new && HoldsDirOf(unreadable_dirs_, dir)) return FileChange::kUnreadable;
    return change;
  }

  // Whether the new list's bytes of the file came from memory, not the disk.
  bool FromMemory(std::string_view dir, std::string_view name) const {
    return HoldsPath(from_memory_, dir, name);
  }

 private:
  std::vector<std::string> changed_;
  std::vector<std::string> from_memory_;
  std::vector<std::string> unlistable_;
  std::vector<std::string> unlistable_dirs_;  // topmost only
  std::vector<std::string> unreadable_dirs_;  // topmost only
  bool empty_ = true;
};

// A candidate of the move pairing: a missing or a new file with an id.
struct MoveCandidate {
  uint64_t size;
  const char* id;  // kIdTextWidth characters
  size_t entry;    // index into the comparison's files
  bool is_new;
};

bool CandidateBefore(const MoveCandidate& a, const MoveCandidate& b) {
  if (a.size != b.size) return a.size < b.size;
  return std::memcmp(a.id, b.id, lists::kIdTextWidth) < 0;
}

bool SameCandidate(const MoveCandidate& a, const MoveCandidate& b) {
  return a.size == b.size && std::memcmp(a.id, b.id, lists::kIdTextWidth) == 0;
}

void PairMoves(std::vector<FileComparison>* files) {
  std::vector<MoveCandidate> candidates;
  for (size_t i = 0; i < files->size(); ++i) {
    const FileComparison& entry = (*files)[i];
    const bool is_new = entry.change == FileChange::kNew;
    if (!is_new && entry.change != FileChange::kMissing) continue;
    const lists::ListedFile& file = is_new ? *entry.new_file : *entry.old_file;
    if (!file.has_id || file.size == 0) continue;
    candidates.push_back({file.size, file.id_text().data(), i, is_new});
  }
  std::sort(candidates.begin(), candidates.end(), CandidateBefore);
  bool any_moved = false;
  for (size_t i = 0; i < candidates.size();) {
    size_t end = i + 1;
    while (end < candidates.size() && SameCandidate(candidates[i], candidates[end])) ++end;
    if (end - i == 2 && candidates[i].is_new != candidates[i + 1].is_new) {
      const MoveCandidate& gone = candidates[i].is_new ? candidates[i + 1] : candidates[i];
      const MoveCandidate& came = candidates[i].is_new ? candidates[i] : candidates[i + 1];
      FileComparison& entry = (*files)[gone.entry];
      entry.change = FileChange::kMoved;
      entry.new_file = (*files)[came.entry].new_file;
      (*files)[came.entry].new_file = nullptr;  // dropped below
      any_moved = true;
    }
    i = end;
  }
  if (!any_moved) return;
  std::erase_if(*files, [](const FileComparison& entry) {
    return entry.change == FileChange::kNew && entry.new_file == nullptr;
  });
}

bool FromWindows(const lists::IdList& list) {
  return lists::PathStyleOfList(list.search_path()) == platform::PathStyle::kWindows;
}

// The search path as the root of the keys, ended with its own system's separator.
std::string RootOf(const lists::IdList& list) {
  return platform::WithSeparator(list.search_path(), lists::PathStyleOfList(list.search_path()));
}

// Walks both lists directory by directory in key order and classes every path.
class Merger {
 public:
  Merger(const lists::IdList& old_list, const lists::IdList& new_list,
         const CompareOptions& options, ListComparison* result)
      : old_(old_list, result->old_root, FromWindows(old_list) || FromWindows(new_list)),
        new_(new_list, result->new_root, FromWindows(old_list) || FromWindows(new_list)),
        problems_(options.new_problems, result->new_root,
                  FromWindows(old_list) || FromWindows(new_list)),
        keep_unchanged_(options.keep_unchanged),
        ambiguous_(old_list.ambiguous() > 0 || new_list.ambiguous() > 0),
        old_only_(new_list.complete() ? FileChange::kMissing : FileChange::kNotListed),
        new_only_(old_list.complete() ? FileChange::kNew : FileChange::kNotListed),
        stop_(options.stop),
        result_(result) {}

  void Run();
  const Side& old_side() const { return old_; }
  const Side& new_side() const { return new_; }

 private:
  void MergeDirectory(uint32_t old_dir, uint32_t new_dir);
  void Add(FileComparison entry);
  bool StopAsked() const { return stop_ != nullptr && stop_->load(std::memory_order_relaxed); }

  Side old_;
  Side new_;
  ProblemIndex problems_;
  bool keep_unchanged_;
  bool ambiguous_;  // some record of either list is ambiguous
  FileChange old_only_;
  FileChange new_only_;
  const std::atomic<bool>* stop_;
  ListComparison* result_;
};

void Merger::Run() {
  const std::vector<lists::ListedFile>& a = old_.list.files();
  const std::vector<lists::ListedFile>& b = new_.list.files();
  size_t x = 0;
  size_t y = 0;
  while (x < old_.order.size() || y < new_.order.size()) {
    if (StopAsked()) return;
    int order;
    if (y == new_.order.size()) {
      order = -1;
    } else if (x == old_.order.size()) {
      order = 1;
    } else {
      order = old_.keys[old_.order[x]].compare(new_.keys[new_.order[y]]);
    }
    if (order < 0) {
      const uint32_t dir = old_.order[x++];
      for (size_t i = old_.first[dir]; i < old_.first[dir + 1]; ++i)
        Add({old_only_, &a[i], nullptr});
    } else if (order > 0) {
      const uint32_t dir = new_.order[y++];
      for (size_t j = new_.first[dir]; j < new_.first[dir + 1]; ++j)
        Add({new_only_, nullptr, &b[j]});
    } else {
      MergeDirectory(old_.order[x++], new_.order[y++]);
    }
  }
}

void Merger::MergeDirectory(uint32_t old_dir, uint32_t new_dir) {
  const std::vector<lists::ListedFile>& a = old_.list.files();
  const std::vector<lists::ListedFile>& b = new_.list.files();
  size_t i = old_.first[old_dir];
  size_t j = new_.first[new_dir];
  const size_t i_end = old_.first[old_dir + 1];
  const size_t j_end = new_.first[new_dir + 1];
  while (i < i_end || j < j_end) {
    if (StopAsked()) return;
    const int order = j == j_end ? -1 : (i == i_end ? 1 : a[i].name().compare(b[j].name()));
    if (order < 0) {
      Add({old_only_, &a[i++], nullptr});
    } else if (order > 0) {
      Add({new_only_, nullptr, &b[j++]});
    } else {
      const lists::ListedFile& old_file = a[i++];
      const lists::ListedFile& new_file = b[j++];
      Add({ClassifyPair(old_file, new_file), &old_file, &new_file});
    }
  }
}

void Merger::Add(FileComparison entry) {
  if (ambiguous_ && ((entry.old_file != nullptr && entry.old_file->ambiguous) ||
                     (entry.new_file != nullptr && entry.new_file->ambiguous))) {
    entry.change = FileChange::kNotComparable;
  } else if (!problems_.empty()) {
    const lists::ListedFile& file = entry.new_file != nullptr ? *entry.new_file : *entry.old_file;
    const std::string_view dir = entry.new_file != nullptr ? new_.key(file) : old_.key(file);
    entry.change = problems_.Adjust(entry.change, dir, file.name(), entry.old_file != nullptr,
                                    entry.new_file != nullptr);
    entry.from_memory = entry.new_file != nullptr && problems_.FromMemory(dir, file.name());
  }
  // A file read from memory was not verified: it is named whatever its class.
  if (entry.change != FileChange::kUnchanged || keep_unchanged_ || entry.from_memory) {
    result_->files.push_back(entry);
  } else {
    ++result_->totals.files[0];
    result_->totals.bytes[0] += entry.new_file->size;
  }
}

}  // namespace

std::string_view FileChangeName(FileChange change) {
  static constexpr std::string_view kNames[kFileChangeCount] = {
      "unchanged", "touched", "changed", "corrupted",  "unreadable",
      "moved",     "missing", "new",     "not listed", "not comparable"};
  return kNames[static_cast<size_t>(change)];
}

ListComparison CompareIdLists(const lists::IdList& old_list, const lists::IdList& new_list,
                              const CompareOptions& options) {
  ListComparison result;
  if (options.relative && !old_list.search_path().empty() && !new_list.search_path().empty()) {
    result.old_root = RootOf(old_list);
    result.new_root = RootOf(new_list);
  }
  Merger merger(old_list, new_list, options, &result);
  merger.Run();
  if (options.stop != nullptr && options.stop->load()) {
    ListComparison stopped;
    stopped.stopped = true;
    return stopped;
  }
  PairMoves(&result.files);

  for (const FileComparison& entry : result.files) {
    const size_t k = static_cast<size_t>(entry.change);
    const lists::ListedFile* sized = entry.new_file != nullptr && entry.new_file->has_size
                                  ? entry.new_file
                                  : (entry.old_file != nullptr ? entry.old_file : entry.new_file);
    ++result.totals.files[k];
    result.totals.bytes[k] += sized->size;
    if (entry.from_memory) {
      ++result.totals.from_memory_files;
      result.totals.from_memory_bytes += sized->size;
    }
  }

  // Merged by directory, then name; a path is its directory and name joined, so a file
  // may belong before the files of a directory that shares a prefix of its name.
  const Side& old_side = merger.old_side();
  const Side& new_side = merger.new_side();
  const auto path_of = [&](const FileComparison& entry, std::string_view* dir) {
    if (entry.old_file != nullptr) {
      *dir = old_side.key(*entry.old_file);
      return entry.old_file->name();
    }
    *dir = new_side.key(*entry.new_file);
    return entry.new_file->name();
  };
  std::sort(result.files.begin(), result.files.end(),
            [&](const FileComparison& x, const FileComparison& y) {
              std::string_view dir_x;
              std::string_view dir_y;
              const std::string_view name_x = path_of(x, &dir_x);
              const std::string_view name_y = path_of(y, &dir_y);
              return lists::CompareSplitPaths(dir_x, name_x, dir_y, name_y) < 0;
            });
  return result;
}

std::string ReportedPath(const ListComparison& comparison, const lists::IdList& list,
                         const lists::ListedFile& file, bool old_side) {
  const std::string_view dir = list.directory(file);
  const std::string& root = old_side ? comparison.old_root : comparison.new_root;
  if (root.empty() || !dir.starts_with(root)) return list.FullPath(file);
  std::string path = comparison.new_root;
  path.append(dir.substr(root.size()));
  path.append(file.name());
  return path;
}

}  // namespace audit
