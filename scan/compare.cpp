#include "scan/compare.h"

#include <algorithm>
#include <cstring>

namespace scan {

namespace {

bool SameId(const ListedFile& a, const ListedFile& b) { return a.id_text() == b.id_text(); }

FileChange ClassifyPair(const ListedFile& old_file, const ListedFile& new_file) {
  if (!new_file.has_id) return FileChange::kUnreadable;
  const bool same_size = old_file.size == new_file.size;
  const bool same_time = old_file.write_time == new_file.write_time;
  // Without an old id there is nothing to compare the content with.
  const bool same_id = !old_file.has_id || SameId(old_file, new_file);
  if (same_size && same_time) return same_id ? FileChange::kUnchanged : FileChange::kCorrupted;
  if (same_size && same_id && old_file.has_id) return FileChange::kTouched;
  return FileChange::kChanged;
}

// Global ranks of both lists' directories, so that files of the two lists compare by
// two numbers and a name.
void RankDirectories(const IdList& old_list, const IdList& new_list, std::vector<uint32_t>* old_rank,
                     std::vector<uint32_t>* new_rank) {
  const auto& a = old_list.directories();
  const auto& b = new_list.directories();
  old_rank->resize(a.size());
  new_rank->resize(b.size());
  size_t i = 0;
  size_t j = 0;
  uint32_t rank = 0;
  while (i < a.size() || j < b.size()) {
    if (j == b.size() || (i < a.size() && a[i] < b[j])) {
      (*old_rank)[i++] = rank++;
    } else if (i == a.size() || b[j] < a[i]) {
      (*new_rank)[j++] = rank++;
    } else {
      (*old_rank)[i++] = rank;
      (*new_rank)[j++] = rank++;
    }
  }
}

// A candidate of the move pairing: a missing or a new file with an id.
struct MoveCandidate {
  uint64_t size;
  const char* id;  // kIdTextWidth characters
  size_t entry;    // index into the comparison's files
  bool is_new;
};

bool CandidateBefore(const MoveCandidate& a, const MoveCandidate& b) {
  if (a.size != b.size) return a.size < b.size;
  return std::memcmp(a.id, b.id, kIdTextWidth) < 0;
}

bool SameCandidate(const MoveCandidate& a, const MoveCandidate& b) {
  return a.size == b.size && std::memcmp(a.id, b.id, kIdTextWidth) == 0;
}

void PairMoves(std::vector<FileComparison>* files) {
  std::vector<MoveCandidate> candidates;
  for (size_t i = 0; i < files->size(); ++i) {
    const FileComparison& entry = (*files)[i];
    const bool is_new = entry.change == FileChange::kNew;
    if (!is_new && entry.change != FileChange::kMissing) continue;
    const ListedFile& file = is_new ? *entry.new_file : *entry.old_file;
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

}  // namespace

std::string_view FileChangeName(FileChange change) {
  static constexpr std::string_view kNames[kFileChangeCount] = {
      "unchanged", "touched", "changed", "corrupted", "unreadable",
      "moved",     "missing", "new",     "not listed"};
  return kNames[static_cast<size_t>(change)];
}

ListComparison CompareIdLists(const IdList& old_list, const IdList& new_list,
                              bool keep_unchanged) {
  std::vector<uint32_t> old_rank;
  std::vector<uint32_t> new_rank;
  RankDirectories(old_list, new_list, &old_rank, &new_rank);
  const FileChange old_only = new_list.complete() ? FileChange::kMissing : FileChange::kNotListed;
  const FileChange new_only = old_list.complete() ? FileChange::kNew : FileChange::kNotListed;

  ListComparison result;
  const std::vector<ListedFile>& a = old_list.files();
  const std::vector<ListedFile>& b = new_list.files();
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() || j < b.size()) {
    int order;
    if (j == b.size()) {
      order = -1;
    } else if (i == a.size()) {
      order = 1;
    } else if (old_rank[a[i].dir] != new_rank[b[j].dir]) {
      order = old_rank[a[i].dir] < new_rank[b[j].dir] ? -1 : 1;
    } else {
      order = a[i].name().compare(b[j].name());
    }
    FileComparison entry;
    if (order < 0) {
      entry = {old_only, &a[i++], nullptr};
    } else if (order > 0) {
      entry = {new_only, nullptr, &b[j++]};
    } else {
      entry.old_file = &a[i++];
      entry.new_file = &b[j++];
      entry.change = ClassifyPair(*entry.old_file, *entry.new_file);
    }
    if (entry.change != FileChange::kUnchanged || keep_unchanged) {
      result.files.push_back(entry);
    } else {
      ++result.totals.files[0];
      result.totals.bytes[0] += entry.new_file->size;
    }
  }
  PairMoves(&result.files);

  for (const FileComparison& entry : result.files) {
    const size_t k = static_cast<size_t>(entry.change);
    const ListedFile* sized = entry.new_file != nullptr && entry.new_file->has_size
                                  ? entry.new_file
                                  : (entry.old_file != nullptr ? entry.old_file : entry.new_file);
    ++result.totals.files[k];
    result.totals.bytes[k] += sized->size;
  }

  // Merged by directory, then name; a path is its directory and name joined, so a file
  // may belong before the files of a directory that shares a prefix of its name.
  const auto path_of = [&](const FileComparison& entry, std::string_view* dir) {
    if (entry.old_file != nullptr) {
      *dir = old_list.directory(*entry.old_file);
      return entry.old_file->name();
    }
    *dir = new_list.directory(*entry.new_file);
    return entry.new_file->name();
  };
  std::sort(result.files.begin(), result.files.end(),
            [&](const FileComparison& x, const FileComparison& y) {
              std::string_view dir_x;
              std::string_view dir_y;
              const std::string_view name_x = path_of(x, &dir_x);
              const std::string_view name_y = path_of(y, &dir_y);
              return CompareSplitPaths(dir_x, name_x, dir_y, name_y) < 0;
            });
  return result;
}

}  // namespace scan
