#include "scan/run_preflight.h"

#include <string_view>
#include <utility>

#include "lists/list_names.h"
#include "lists/list_paths.h"
#include "lists/preflight.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/text.h"
#include "support/toolkit.h"

namespace scan {

namespace {

RunProblem Problem(RunRefusal refusal, RunFile file, const std::string& path,
                   std::string reason = {}) {
  return RunProblem{refusal, file, path, std::move(reason)};
}

// The directory a walk of this start path reads: the path itself when it is a directory,
// else the part before its parameters (the first "/" after a blank), less a final mask;
// empty when the path names no directory.
std::string StartDirectory(const std::string& path, std::string* parameters) {
  if (support::DirExistsSx(path)) return path;
  std::string start = support::Trim(path);
  if (support::DirExistsSx(start)) return start;
  for (size_t i = 1; i < start.size(); ++i) {
    if (start[i] == '/' && static_cast<unsigned char>(start[i - 1]) <= ' ') {
      *parameters = start.substr(i);
      start = support::Trim(std::string_view(start).substr(0, i));
      break;
    }
  }
  if (support::DirExistsSx(start)) return start;
  // "/data/*.jpg|*.png": masks follow the last "/". A plain name there is a mistyped
  // directory, which would be walked as a mask and give an empty list.
  const size_t slash = start.find_last_of(platform::kSeparators);
  if (slash == std::string::npos || start.find_first_of("*?|", slash + 1) == std::string::npos) {
    return {};
  }
  return start.substr(0, slash + 1);
}

}  // namespace

std::optional<RunProblem> CheckSearchPath(const std::string& path, PathForm form, RunPlan* plan) {
  const std::string trimmed = support::Trim(path);
  if (!platform::IsAbsolute(trimmed)) {
    return Problem(RunRefusal::kRelativePath, RunFile::kSearchPath, path);
  }
  if (form == PathForm::kWithParameters) {
    plan->start_directory = StartDirectory(path, &plan->parameters);
  } else if (support::DirExistsSx(path)) {
    plan->start_directory = path;
  }
  if (plan->start_directory.empty() || !support::DirExistsSx(plan->start_directory)) {
    return Problem(RunRefusal::kNoDirectory, RunFile::kSearchPath, path);
  }
  platform::DirReader reader;
  if (!reader.Open(plan->start_directory)) {
    return Problem(RunRefusal::kUnreadableDirectory, RunFile::kSearchPath, path);
  }
  return std::nullopt;
}

namespace {

// A list must be a file this run may lock. A link is never followed: refused before the
// job meets it as "Too many levels of symbolic links".
std::optional<RunProblem> CheckListFile(const std::string& path, RunFile file) {
  const platform::PathKind kind = platform::PathKindOf(path);
  if (kind == platform::PathKind::kLink || kind == platform::PathKind::kLinkToDirectory) {
    return Problem(RunRefusal::kListIsLink, file, path);
  }
  platform::FileInfo info;
  if (platform::StatPath(path, &info) && info.kind != platform::EntryKind::kFile) {
    return Problem(RunRefusal::kListNotAFile, file, path);
  }
  return std::nullopt;
}

std::optional<RunProblem> CheckLists(const RunSettings& settings) {
  const std::string& id_list = settings.id_list;
  if (id_list.empty() || settings.tree_list.empty()) {
    return Problem(RunRefusal::kNoListName, id_list.empty() ? RunFile::kIdList : RunFile::kTreeList,
                   "");
  }
  if (id_list == settings.tree_list)
    return Problem(RunRefusal::kSameNames, RunFile::kIdList, id_list);
  return std::nullopt;
}

std::optional<RunProblem> CheckListFiles(const RunSettings& settings, bool list_files) {
  if (list_files) {
    if (auto problem = CheckListFile(settings.id_list, RunFile::kIdList)) return problem;
    if (auto problem = CheckListFile(settings.tree_list, RunFile::kTreeList)) return problem;
  }
  std::string reason;
  if (lists::ListHeld(settings.id_list, &reason)) {
    return Problem(RunRefusal::kListHeld, RunFile::kIdList, settings.id_list, reason);
  }
  return std::nullopt;
}

bool BackUpsWanted(const RunSettings& settings) {
  return settings.mode == kModeCreate && (settings.options & kOptNoBackUp) == 0;
}

// The folder a list is written into, ending with "/"; empty for a name without one.
std::string FolderOf(const std::string& list) {
  const size_t slash = list.find_last_of(platform::kSeparators);
  return slash == std::string::npos || slash == 0 ? std::string() : list.substr(0, slash + 1);
}

}  // namespace

FolderState EnsureFolder(const std::string& folder, std::string* reason) {
  bool missing = false;
  const std::string problem = lists::FolderProblem(folder, &missing);
  if (problem.empty()) return FolderState::kThere;
  if (!missing) {
    *reason = problem;
    return FolderState::kUnusable;
  }
  return platform::MakeDirs(folder) ? FolderState::kMade : FolderState::kNotMade;
}

RunPlan CheckRun(const RunSettings& settings, CheckRules rules) {
  RunPlan plan;
  plan.problem = CheckLists(settings);
  if (!plan.problem) plan.problem = CheckSearchPath(settings.search_path, rules.form, &plan);
  if (!plan.problem) plan.problem = CheckListFiles(settings, rules.list_files);
  plan.backs_up =
      BackUpsWanted(settings) && lists::ListsHoldSomething(settings.tree_list, settings.id_list);
  return plan;
}

bool PrepareRun(const RunSettings& settings, const std::string& backup_folder, RunPlan* plan) {
  std::vector<std::pair<RunFile, std::string>> folders;
  for (const std::string* list : {&settings.id_list, &settings.tree_list}) {
    const std::string folder = FolderOf(*list);
    if (!folder.empty() && (folders.empty() || folders.front().second != folder)) {
      folders.emplace_back(RunFile::kListFolder, folder);
    }
  }
  if (BackUpsWanted(settings) && !backup_folder.empty()) {
    folders.emplace_back(RunFile::kBackupFolder, backup_folder);
  }
  for (const auto& [file, folder] : folders) {
    std::string reason;
    switch (EnsureFolder(folder, &reason)) {
      case FolderState::kThere:
        continue;
      case FolderState::kMade:
        plan->made.emplace_back(file, folder);
        continue;
      case FolderState::kUnusable:
        plan->problem = Problem(RunRefusal::kFolderUnusable, file, folder, reason);
        return false;
      case FolderState::kNotMade:
        plan->problem = Problem(RunRefusal::kFolderNotMade, file, folder);
        return false;
    }
  }
  std::string error;
  if (plan->backs_up && !lists::BackUpLists(settings.tree_list, settings.id_list, backup_folder, &error)) {
    plan->problem =
        Problem(RunRefusal::kBackUpFailed, RunFile::kBackupFolder, backup_folder, error);
    return false;
  }
  return true;
}

PathVolume VolumeOfPath(const std::string& path) {
  PathVolume volume;
  lists::NamePartsSx(path, &volume.label, lists::kNameLabel, "");
  if (lists::NamePartsSx(path, &volume.serial_text, lists::kNameSerial, "")) {
    lists::SerialFromDigits(volume.serial_text, &volume.serial);
  }
  return volume;
}

}  // namespace scan
