// "verify": scans again what an id list catalogued and compares the two, leaving the
// list as it is.

#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/catalogue_access.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/compare_report.h"
#include "cli/scan_options.h"
#include "cli/scan_run.h"
#include "cli/search_path.h"
#include "cli/terminal_msg.h"
#include "cli/terminal_text.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "platform/paths.h"
#include "audit/compare.h"
#include "lists/list_paths.h"
#include "lists/list_reader.h"
#include "support/text.h"
#include "support/toolkit.h"

namespace cli {

namespace {

constexpr int kExitStopped = 130;
constexpr char kTreeExtension[] = ".t00";
constexpr char kTempPrefix[] = "checker-verify-";
// Held locked by the verify that uses its folder; a folder whose lock can be taken was
// left by a verify that is gone.
constexpr char kTempLockName[] = "lock";

// NEW with its extension replaced by the tree list's.
std::string TreeListBeside(const std::string& id_list) {
  const size_t slash = id_list.rfind('/');
  const size_t dot = id_list.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return id_list + kTreeExtension;
  }
  return id_list.substr(0, dot) + kTreeExtension;
}

// A file --write may create: nothing there yet, or an empty file.
bool FreeForWriting(const std::string& path, std::string* error) {
  if (platform::PathKindOf(path) == platform::PathKind::kMissing) return true;
  platform::FileInfo info;
  if (platform::StatPath(path, &info) && info.kind == platform::EntryKind::kFile &&
      info.size == 0) {
    return true;
  }
  *error = path + " exists; --write takes a name that is free";
  return false;
}

// "PATH is a symbolic link; give the list itself" for a link (O_NOFOLLOW says only
// "Too many levels of symbolic links"); empty otherwise.
std::string LinkProblem(const std::string& path) {
  const platform::PathKind kind = platform::PathKindOf(path);
  if (kind != platform::PathKind::kLink && kind != platform::PathKind::kLinkToDirectory) return {};
  return path + " is a symbolic link; give the list itself";
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
      folders.push_back(temp + std::string(name) + "/");
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

// The lists of one verify: kept with --write, else in a temp folder removed at the end
// (or by a later verify, when this one is killed).
class NewLists {
 public:
  ~NewLists() {
    if (!temp_dir_.empty()) RemoveTempDir(temp_dir_);
  }

  bool Prepare(const std::string& write, const std::string& tree, const std::string& list,
               std::string* error) {
    if (write.empty()) {
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
      temp_dir_ = folder;
      id_list_ = temp_dir_ + "verify.v00";
      tree_list_ = temp_dir_ + "verify.t00";
      return true;
    }
    id_list_ = platform::AbsolutePath(write);
    tree_list_ = tree.empty() ? TreeListBeside(id_list_) : platform::AbsolutePath(tree);
    if (id_list_ == tree_list_) {
      *error = std::string(scan::kSameNamesMessage) + ": " + id_list_;
      return false;
    }
    for (const std::string& path : {id_list_, tree_list_}) {
      *error = LinkProblem(path);
      if (!error->empty()) return false;
      if (path == platform::AbsolutePath(list) || SameFile(path, list)) {
        *error = "--write " + path + " would replace the list to verify";
        return false;
      }
      if (!FreeForWriting(path, error)) return false;
    }
    return true;
  }

  const std::string& id_list() const { return id_list_; }
  const std::string& tree_list() const { return tree_list_; }

 private:
  std::string temp_dir_;
  platform::File lock_;  // of the temp folder, held while it is in use
  std::string id_list_;
  std::string tree_list_;
};

int Fail(const std::string& message) {
  PrintMessage(message);
  return kExitListError;
}

// Whether a "?" in the absolute `path` may stand for a CR or LF, as a list writes them:
// a directory on the way holds a name with one that reads as that component with "?".
bool MayHideLineBreak(const std::string& path) {
  for (size_t start = 1; start < path.size();) {
    size_t end = path.find('/', start);
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

// The path to scan: --path as given (`search_path` not empty) or the list's own. False
// with `error` for a path whose line breaks a list cannot show.
bool ChooseSearchPath(const std::string& list_name, const scan::IdList& old_list,
                      std::string* search_path, std::string* error) {
  if (search_path->find_first_of("\r\n") != std::string::npos) {
    *error = "cannot verify " + *search_path +
             ": the path holds a line break (CR or LF), which a list writes as \"?\"";
    return false;
  }
  if (!search_path->empty()) return true;
  if (old_list.search_path().empty()) {
    *error = list_name + " names no search path; give --path";
    return false;
  }
  *search_path = old_list.search_path();
  if (MayHideLineBreak(platform::AbsolutePath(*search_path))) {
    *error = "cannot verify " + list_name + ": its search path " + *search_path +
             " may stand for a name with a line break (a list writes CR and LF as \"?\"); "
             "give --path";
    return false;
  }
  return true;
}

int Verify(const Args& args) {
  CommandLine line;
  if (const std::optional<int> status = TakeCommandLine("verify", args, &line)) return *status;
  const ScanOptions& options = line.scan;
  if (!options.list_file.empty() || !options.name.empty()) {
    return UsageError("verify: --list and --name are no options of verify; --write NEW keeps "
                      "the new lists");
  }
  const std::string& write = line.write;
  if (!options.tree_file.empty() && write.empty()) {
    return UsageError("verify: --tree goes with --write");
  }
  std::string& search_path = line.search_path;
  std::string error;

  RemoveStaleTempDirs();
  // Read first and held to the end: no run may rewrite the list meanwhile.
  const std::string list_name = options.path;
  scan::IdList old_list;
  scan::ListReadError read_error;
  if (!scan::ReadIdList(list_name, &old_list, &read_error)) {
    return Fail(ListErrorText(list_name, read_error));
  }
  const bool path_given = !search_path.empty();
  if (!ChooseSearchPath(list_name, old_list, &search_path, &error)) return Fail(error);
  if (!path_given) {
    if (const std::optional<int> status = FindVolumeOfList(list_name, &search_path)) {
      return *status;
    }
  }
  const std::string path = platform::AbsolutePath(search_path);
  if (!DirExistsSx(path)) {
    return Fail("cannot verify " + search_path + ": " + NotADirectoryReason(path));
  }

  NewLists lists;
  if (!lists.Prepare(write, options.tree_file, list_name, &error)) return Fail(error);
  std::string label;
  uint32_t serial = 0;
  std::string serial_text;
  VolumeFields(options, path, &label, &serial, &serial_text);
  // What the disk holds is verified, not what the cache remembers of it.
  ScanOptions scan_options = options;
  scan_options.run.cache = line.cached ? CacheUse::kKeep : CacheUse::kDevice;
  const ScanOutcome outcome = RunScanJob(scan_options, path, kModeCreate, label, serial,
                                         lists.tree_list(), lists.id_list());
  PrintProblems(outcome);
  if (!outcome.failure.empty()) return Fail(outcome.failure);
  if (!outcome.id_list_written) {
    if (!options.quiet) PrintMessage("stopped before any file was read: nothing was verified");
    return kExitStopped;
  }

  scan::IdList new_list;
  if (!scan::ReadIdList(lists.id_list(), &new_list, &read_error)) {
    return Fail(ListErrorText(lists.id_list(), read_error));
  }
  WarnAboutList(list_name, old_list);
  // Matched below each list's search path, so that a copy of the tree elsewhere is the
  // same tree; what the scan could not vouch for is classed by its problems.
  scan::CompareOptions compare;
  compare.keep_unchanged = line.report.all;
  compare.relative = true;
  compare.new_problems = &outcome.problems;
  const scan::ListComparison comparison = scan::CompareIdLists(old_list, new_list, compare);
  line.report.probable_copy = ProbableCopyFinder(line.catalogue, list_name);
  const int status = ReportComparison(old_list, new_list, comparison, line.report);
  if (outcome.finished) return status;
  PrintMessage("stopped after " + std::to_string(outcome.files_done) +
               " files: the verify is partial; files it did not reach are \"not listed\"");
  return kExitStopped;
}

}  // namespace

int RunVerifyCommand(const Args& args) {
  InstallTerminalMsgHandler();
  try {
    return Verify(args);
  } catch (const std::bad_alloc&) {
    // The temp lists are gone by now: their owner was unwound.
    PrintMessage("not enough memory to verify");
    return kExitListError;
  }
}

}  // namespace cli
