#include "audit/verify_run.h"

#include <fmt/format.h>

#include <future>
#include <string_view>

#include "audit/audit_report.h"
#include "lists/list_paths.h"
#include "lists/list_system.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/text.h"

namespace audit {

namespace {

constexpr char kTreeExtension[] = ".t00";
constexpr char kTempPrefix[] = "checker-verify-";
// Held locked by the verify that uses its folder; a folder whose lock can be taken was
// left by a verify that is gone.
constexpr char kTempLockName[] = "lock";

// NEW with its extension replaced by the tree list's.
std::string TreeListBeside(const std::string& id_list) {
  const size_t slash = id_list.find_last_of(platform::kSeparators);
  const size_t dot = id_list.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return id_list + kTreeExtension;
  }
  return id_list.substr(0, dot) + kTreeExtension;
}

// A file a verify may write: nothing there yet, or an empty file.
bool FreeForWriting(const std::string& path, std::string* error) {
  if (platform::PathKindOf(path) == platform::PathKind::kMissing) return true;
  platform::FileInfo info;
  if (platform::StatPath(path, &info) && info.kind == platform::EntryKind::kFile &&
      info.size == 0) {
    return true;
  }
  *error = path + " exists";
  return false;
}

// "PATH is a symbolic link; give the list itself" for a link (O_NOFOLLOW says only
// "Too many levels of symbolic links"); empty otherwise.
std::string LinkProblem(const std::string& path) {
  const platform::PathKind kind = platform::PathKindOf(path);
  if (kind != platform::PathKind::kLink && kind != platform::PathKind::kLinkToDirectory) return {};
  return path + " is a symbolic link; give the list itself";
}

std::string NowText() {
  const platform::DateTime now = platform::NowLocal();
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", now.year, now.month, now.day, now.hour,
                     now.minute, now.second);
}

bool SameFile(const std::string& a, const std::string& b) {
  platform::FileInfo x;
  platform::FileInfo y;
  return platform::StatPath(a, &x) && platform::StatPath(b, &y) && x.device == y.device &&
         x.inode == y.inode;
}

// Removes the regular files of a verify's temp folder, its lock last, and the folder.
// The caller holds the lock.
void RemoveTempDir(const std::string& folder) {
  std::vector<std::string> files;
  platform::DirReader reader;
  if (reader.Open(folder)) {
    std::string_view name;
    platform::EntryKind kind;
    while (reader.Next(&name, &kind)) {
      if (kind == platform::EntryKind::kFile && name != kTempLockName) files.emplace_back(name);
    }
  }
  reader.Close();
  for (const std::string& name : files) platform::RemoveFile(folder + name);
  platform::RemoveFile(folder + kTempLockName);
  platform::RemoveDir(folder);
}

// Removes the temp folders of verifies killed before they could (their locks are free).
// A folder without a lock file is left: it is no verify's, or its verify is starting.
void RemoveStaleTempDirs() {
  const std::string temp = platform::TempDir();
  std::vector<std::string> folders;
  platform::DirReader reader;
  if (!reader.Open(temp)) return;
  std::string_view name;
  platform::EntryKind kind;
  while (reader.Next(&name, &kind)) {
    if (kind == platform::EntryKind::kDirectory && name.starts_with(kTempPrefix)) {
      folders.push_back(temp + std::string(name) + platform::kSeparator);
    }
  }
  reader.Close();
  for (const std::string& folder : folders) {
    platform::File lock;
    if (lock.Open(folder + kTempLockName, platform::OpenMode::kReadWriteLocked)) {
      RemoveTempDir(folder);
    }
  }
}

// Whether a "?" in the absolute `path` may stand for a CR or LF, as a list writes them:
// a directory on the way holds a name with one that reads as that component with "?".
bool MayHideLineBreak(const std::string& path) {
  for (size_t start = 1; start < path.size();) {
    size_t end = path.find_first_of(platform::kSeparators, start);
    if (end == std::string::npos) end = path.size();
    const std::string_view part(path.data() + start, end - start);
    platform::DirReader reader;
    if (part.find('?') != std::string_view::npos && reader.Open(path.substr(0, start))) {
      std::string_view name;
      platform::EntryKind kind;
      while (reader.Next(&name, &kind)) {
        if (name.size() != part.size() || name.find_first_of("\r\n") == std::string_view::npos) {
          continue;
        }
        std::string listed(name);
        support::ReplaceLineBreaks(&listed);
        if (listed == part) return true;
      }
    }
    start = end + 1;
  }
  return false;
}

// The path to scan: `search_path` as given (not empty) or the list's own. False with
// `error` for a path whose line breaks a list cannot show.
bool ChooseSearchPath(const std::string& list_name, const lists::IdList& old_list,
                      std::string* search_path, std::string* error) {
  if (search_path->find_first_of("\r\n") != std::string::npos) {
    *error = "cannot verify " + *search_path +
             ": the path holds a line break (CR or LF), which a list writes as \"?\"";
    return false;
  }
  if (!search_path->empty()) return true;
  if (old_list.search_path().empty()) {
    *error = list_name + " names no search path";
    return false;
  }
  *search_path = old_list.search_path();
  if (MayHideLineBreak(platform::AbsolutePath(*search_path))) {
    *error = "cannot verify " + list_name + ": its search path " + *search_path +
             " may stand for a name with a line break (a list writes CR and LF as \"?\")";
    return false;
  }
  return true;
}

}  // namespace

// The temp folder of one verify and its lock, held while it is in use.
class VerifyRun::NewLists {
 public:
  ~NewLists() {
    if (!folder_.empty()) RemoveTempDir(folder_);
  }

  bool Make(std::string* error) {
    const std::string folder = platform::MakeTempDir(kTempPrefix);
    if (folder.empty()) {
      *error = "cannot create a folder for the new lists in " + platform::TempDir();
      return false;
    }
    if (!platform::CreateLockedFile(folder + kTempLockName, &lock_)) {
      *error = "cannot create a folder for the new lists in " + platform::TempDir() + ": " +
               lock_.ErrorText();
      platform::RemoveDir(folder);
      return false;
    }
    folder_ = folder;
    return true;
  }

  const std::string& folder() const { return folder_; }

 private:
  std::string folder_;
  platform::File lock_;
};

VerifyRun::VerifyRun() : result_(std::make_shared<AuditResult>()) {}

VerifyRun::~VerifyRun() = default;

bool VerifyRun::Open(const std::string& list, const std::string& search_path, std::string* error) {
  RemoveStaleTempDirs();
  // Read first and held to the end: no run may rewrite the list meanwhile.
  result_->old_name = list;
  result_->verify = true;
  lists::ListReadError read_error;
  if (!lists::ReadIdList(list, &result_->old_list, &read_error)) {
    *error = ListErrorText(list, read_error);
    return false;
  }
  // Its paths and volume belong to the system that wrote it; nothing is read here.
  const platform::PathStyle written_on = lists::PathStyleOfList(result_->old_list.search_path());
  if (written_on != platform::kNativePathStyle) {
    const std::string system(lists::SystemName(written_on));
    *error = "cannot verify " + list + ": the list was written on " + system + "; verify it on " +
             system;
    return false;
  }
  given_path_ = search_path;
  if (!ChooseSearchPath(list, result_->old_list, &given_path_, error)) {
    // A path given with a line break is refused for itself; only the list's own lacks.
    if (search_path.empty()) lack_ = VerifyLack::kSearchPath;
    return false;
  }
  absolute_path_ = platform::AbsolutePath(given_path_);
  return true;
}

void VerifyRun::MoveSearchPath(const std::string& path) {
  given_path_ = path;
  absolute_path_ = platform::AbsolutePath(path);
}

bool VerifyRun::Prepare(const std::string& write, const std::string& tree, std::string* error) {
  if (write.empty()) {
    lists_ = std::make_unique<NewLists>();
    if (!lists_->Make(error)) return false;
    id_list_ = lists_->folder() + "verify.v00";
    tree_list_ = lists_->folder() + "verify.t00";
    return true;
  }
  const std::string& list = result_->old_name;
  id_list_ = platform::AbsolutePath(write);
  tree_list_ = tree.empty() ? TreeListBeside(id_list_) : platform::AbsolutePath(tree);
  if (id_list_ == tree_list_) {
    *error = std::string(lists::kSameNamesMessage) + ": " + id_list_;
    return false;
  }
  for (const std::string& path : {id_list_, tree_list_}) {
    *error = LinkProblem(path);
    if (!error->empty()) return false;
    if (path == platform::AbsolutePath(list) || SameFile(path, list)) {
      *error = path + " would replace the list to verify";
      lack_ = VerifyLack::kOtherName;
      return false;
    }
    if (!FreeForWriting(path, error)) {
      lack_ = VerifyLack::kFreeName;
      return false;
    }
  }
  return true;
}

scan::RunSettings VerifyRun::JobSettings(scan::RunSettings base, bool cached) const {
  base.mode = scan::kModeCreate;
  base.search_path = absolute_path_;
  base.tree_list = tree_list_;
  base.id_list = id_list_;
  // What the disk holds is verified, not what the cache remembers of it.
  base.cache = cached ? content::CacheUse::kKeep : content::CacheUse::kDevice;
  return base;
}

bool VerifyRun::Compare(const scan::ScanOutcome& outcome, bool keep_unchanged, std::string* error,
                        const std::atomic<bool>* stop) {
  AuditResult& result = *result_;
  result.new_name = id_list_;
  result.problems = outcome.problems;
  result.left_out = outcome.left_out;
  lists::ListReadError read_error;
  if (!lists::ReadIdList(id_list_, &result.new_list, &read_error, stop)) {
    result.comparison.stopped = read_error.stopped;
    if (read_error.stopped) return true;
    *error = ListErrorText(id_list_, read_error);
    return false;
  }
  // Matched below each list's search path, so that a copy of the tree elsewhere is the
  // same tree; what the scan could not vouch for is classed by its problems.
  CompareOptions compare;
  compare.keep_unchanged = keep_unchanged;
  compare.relative = true;
  compare.new_problems = &result.problems;
  compare.stop = stop;
  result.comparison = CompareIdLists(result.old_list, result.new_list, compare);
  result.date = NowText();
  return true;
}

std::string PartialVerifyText(int32_t files) {
  return "stopped after " + std::to_string(files) +
         " files: the verify is partial; files it did not reach are \"not listed\"";
}

bool CompareListFiles(const std::string& old_name, const std::string& new_name,
                      const CompareOptions& options, AuditResult* result,
                      std::vector<std::string>* errors) {
  result->old_name = old_name;
  result->new_name = new_name;
  // The two lists are read and sorted side by side.
  lists::ListReadError new_error;
  std::future<bool> new_read = std::async(std::launch::async | std::launch::deferred, [&] {
    return lists::ReadIdList(new_name, &result->new_list, &new_error, options.stop);
  });
  lists::ListReadError old_error;
  const bool old_ok = lists::ReadIdList(old_name, &result->old_list, &old_error, options.stop);
  const bool new_ok = new_read.get();
  if (old_error.stopped || new_error.stopped) {
    result->comparison.stopped = true;
    return true;
  }
  if (!old_ok) errors->push_back(ListErrorText(old_name, old_error));
  if (!new_ok) errors->push_back(ListErrorText(new_name, new_error));
  if (!old_ok || !new_ok) return false;
  if (options.relative) {
    for (const lists::IdList* list : {&result->old_list, &result->new_list}) {
      if (list->search_path().empty()) {
        const std::string& name = list == &result->old_list ? old_name : new_name;
        errors->push_back(name + " names no search path: paths cannot be matched below it");
        return false;
      }
    }
  }
  result->comparison = CompareIdLists(result->old_list, result->new_list, options);
  result->date = NowText();
  return true;
}

}  // namespace audit
