#pragma once
// The checks and preparations before a scan, the same for both front ends. A run is
// refused before it changes anything; each refusal comes back as a fact (what, and the
// path it concerns) for the front end to word with its own fields or flags.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "scan/run_settings.h"

namespace scan {

// What stops a run.
enum class RunRefusal {
  kNoListName,           // a list name is empty
  kSameNames,            // the tree list and the id list are one file (path: the id list)
  kRelativePath,         // the search path does not begin with "/"
  kNoDirectory,          // no directory to scan at the path (path: as given)
  kUnreadableDirectory,  // the directory to scan cannot be opened
  kListIsLink,           // a list is a symbolic link (path: the list; `file` says which)
  kListNotAFile,         // something other than a regular file stands at a list's name
  kFolderUnusable,       // `reason`: what the folder is instead (lists::FolderProblem)
  kFolderNotMade,        // a missing folder could not be made
  kListHeld,             // another run holds the id list; `reason`: the system's words
  kBackUpFailed,         // `reason`: the backup's own message (lists::BackUpList)
};

// Which of the run's files or folders a refusal or a made folder concerns.
enum class RunFile { kSearchPath, kIdList, kTreeList, kListFolder, kBackupFolder };

struct RunProblem {
  RunRefusal refusal;
  RunFile file;
  std::string path;
  std::string reason;  // words of the system or of a lower layer; empty for most
};

// A folder there or made, or why it is neither.
enum class FolderState { kThere, kMade, kUnusable, kNotMade };
// Makes `folder` when nothing is there; `reason` receives lists::FolderProblem's words for
// kUnusable.
FolderState EnsureFolder(const std::string& folder, std::string* reason);

struct RunPlan {
  std::optional<RunProblem> problem;  // the first found; nothing was changed for it
  // The directory the walk starts in, and the walk parameters that followed it.
  std::string start_directory;
  std::string parameters;
  // A Create that replaces lists holding something, with backups wanted.
  bool backs_up = false;
  // Folders made while preparing, in the order made.
  std::vector<std::pair<RunFile, std::string>> made;
};

// How the search path may be written: the window's field carries walk parameters after
// the directory ("/data /EP temp"), the command line takes them as options.
enum class PathForm { kDirectoryOnly, kWithParameters };

// The search path alone, as CheckRun looks at it first: for a front end that must know
// the directory before it names the lists.
std::optional<RunProblem> CheckSearchPath(const std::string& path, PathForm form, RunPlan* plan);

struct CheckRules {
  PathForm form = PathForm::kDirectoryOnly;
  // Lists that are links or no regular files refused here; else left for the job's open
  // to meet (the window has always let it).
  bool list_files = true;
};

// Checks a run set up in `settings` (mode, search path, both lists, kOptNoBackUp) and
// changes nothing: names, the path, the lists' files, a run holding the id list.
RunPlan CheckRun(const RunSettings& settings, CheckRules rules);

// After a CheckRun without problem: makes the lists' missing folders and, for a Create
// that keeps backups, `backup_folder` (resolved; empty: none made), then copies both
// lists into it when the plan backs up. False with plan->problem set at the first that
// fails.
bool PrepareRun(const RunSettings& settings, const std::string& backup_folder, RunPlan* plan);

// The volume label and serial number a list's header names for a search path: the
// volume's own. `serial_text` is the serial as a list name shows it ("03054_41741"),
// empty when the volume has none to show.
struct PathVolume {
  std::string label;
  uint32_t serial = 0;
  std::string serial_text;
};
PathVolume VolumeOfPath(const std::string& path);

}  // namespace scan
