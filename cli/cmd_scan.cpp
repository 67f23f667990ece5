// "scan" and "continue": one run of the scan job, with the terminal as its window.

#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/scan_options.h"
#include "cli/scan_run.h"
#include "cli/search_path.h"
#include "cli/start_up.h"
#include "cli/terminal_msg.h"
#include "cli/terminal_text.h"
#include "lists/list_names.h"
#include "lists/list_paths.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "scan/run_preflight.h"
#include "scan/scan_job.h"
#include "support/sys_init.h"
#include "support/toolkit.h"

namespace cli {

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFileErrors = 1;
constexpr int kExitNotWritten = 2;
constexpr int kExitStopped = 130;

int Fail(const std::string& message) {
  PrintMessage(message);
  return kExitNotWritten;
}

// The refusals of the pre-flight, worded as the command line has always worded them.
int Refuse(const scan::RunProblem& problem, const std::string& given_path) {
  const std::string& path = problem.path;
  const bool backup = problem.file == scan::RunFile::kBackupFolder;
  const std::string what = problem.file == scan::RunFile::kIdList     ? "the id list"
                           : problem.file == scan::RunFile::kTreeList ? "the tree list"
                           : backup                                   ? "the backup folder"
                                                                      : "the list folder";
  // A backup refused: nothing was replaced, and the option that skips it is named.
  const std::string not_written =
      backup ? "; nothing was written (--no-backup skips the copy)" : "";
  switch (problem.refusal) {
    case scan::RunRefusal::kNoListName:
      return Fail("cannot name the lists of " + given_path + "; give --name");
    case scan::RunRefusal::kSameNames:
      return Fail(std::string(lists::kSameNamesMessage) + ": " + path);
    case scan::RunRefusal::kRelativePath:
    case scan::RunRefusal::kNoDirectory:
      return Fail("cannot scan " + given_path + ": " + NotADirectoryReason(path));
    case scan::RunRefusal::kUnreadableDirectory:
      return Fail("cannot read the directory " + given_path);
    case scan::RunRefusal::kListIsLink:
      return Fail(what + " " + path + " is a symbolic link; give the list itself");
    case scan::RunRefusal::kListNotAFile:
      return Fail(what + " " + path + " is not a regular file");
    case scan::RunRefusal::kFolderUnusable:
      return Fail(what + " " + path + " " + problem.reason + not_written);
    case scan::RunRefusal::kFolderNotMade:
      return Fail("cannot create " + what + " " + path + not_written);
    case scan::RunRefusal::kListHeld:
      return Fail("cannot open the id list " + path + ": " + problem.reason);
    case scan::RunRefusal::kBackUpFailed:
      return Fail(problem.reason + "; nothing was written (--no-backup skips the copy)");
  }
  return kExitNotWritten;
}

// The two lists of the run: as given, else named after the volume in the list folder of
// the base settings (created when missing). A status to end with, or nothing.
std::optional<int> NameLists(const ScanOptions& options, const scan::PathVolume& volume,
                             scan::RunSettings* settings) {
  const std::string& path = settings->search_path;
  std::string& id_list = settings->id_list;
  std::string& tree_list = settings->tree_list;
  id_list = options.list_file.empty() ? "" : platform::AbsolutePath(options.list_file);
  tree_list = options.tree_file.empty() ? "" : platform::AbsolutePath(options.tree_file);
  if (!id_list.empty() && !tree_list.empty()) return std::nullopt;
  if (!StartUp(options.quiet)) return kExitDone;
  const lists::BaseSettings base =
      lists::LoadBaseSettingsFrom(support::SxBaseIniFile, support::SxAppDir);
  const std::string folder =
      lists::ResolveBaseFolder(base.app_path, base.vol_path, support::SxAppDir);
  if (folder.empty()) return Fail("no folder for the lists is set (VolPath)");
  std::string reason;
  switch (scan::EnsureFolder(folder, &reason)) {
    case scan::FolderState::kThere:
      break;
    case scan::FolderState::kMade:
      if (!options.quiet) PrintMessage("created the list folder " + folder);
      break;
    case scan::FolderState::kUnusable:
      return Fail("the list folder " + folder + " " + reason);
    case scan::FolderState::kNotMade:
      return Fail("cannot create the list folder " + folder);
  }
  std::string name = options.name;
  if (name.empty()) {
    std::string net;
    std::string dirs;
    lists::NamePartsSx(path, &net, lists::kNameNetwork, "");
    lists::NamePartsSx(path, &dirs, lists::kNameDirectories, "");
    name = lists::ComposeListName(net, volume.label, dirs, volume.serial_text);
  }
  if (name.empty()) return Fail("cannot name the lists of " + path + "; give --name");
  const lists::ListFileNames names = lists::NameListFiles(folder, name, base.lst_ext, base.dir_ext);
  if (id_list.empty()) id_list = names.id_list;
  if (tree_list.empty()) tree_list = names.tree_list;
  return std::nullopt;
}

// Refuses lists this run may not write, makes their folders and backs up those a scan
// replaces. A status to end with, or nothing.
std::optional<int> PrepareLists(const ScanOptions& options, const scan::RunSettings& settings) {
  scan::RunPlan plan = scan::CheckRun(settings, scan::CheckRules{});
  std::string backup_folder;
  if (!plan.problem && plan.backs_up) {
    // The backup folder is a shared setting: the base file is needed for it.
    if (!StartUp(options.quiet)) return kExitDone;
    const lists::BaseSettings base =
        lists::LoadBaseSettingsFrom(support::SxBaseIniFile, support::SxAppDir);
    backup_folder = lists::ResolveBaseFolder(base.app_path, base.back_ups, support::SxAppDir);
  }
  if (!plan.problem) scan::PrepareRun(settings, backup_folder, &plan);
  for (const auto& [file, folder] : plan.made) {
    if (file == scan::RunFile::kListFolder && !options.quiet) {
      PrintMessage("created the list folder " + folder);
    }
  }
  if (plan.problem) return Refuse(*plan.problem, options.path);
  return std::nullopt;
}

// Names what went wrong, says how the run ended and gives the exit status.
int ReportOutcome(const scan::ScanOutcome& outcome, const ScanOptions& options) {
  const bool quiet = options.quiet;
  const int directories_not_read = PrintProblems(outcome, options.verbose);
  if (outcome.refused) {
    return Fail(outcome.failure + "; 'checker-cli scan' starts the lists afresh");
  }
  if (!outcome.failure.empty()) return Fail(outcome.failure);
  if (outcome.nothing_left) {
    if (!quiet) {
      PrintMessage("nothing left to read: every file is listed already; the lists are unchanged");
    }
    return kExitDone;
  }
  if (outcome.finished) {
    if (!quiet) {
      std::string closing = std::to_string(outcome.files_done) + " files, " +
                            std::to_string(outcome.error_count) + " errors";
      if (directories_not_read > 0)
        closing += " (" + std::to_string(directories_not_read) + " directories not read)";
      // The readers at the end; a count that was chosen may have been higher on the way.
      closing += ", " + std::to_string(outcome.readers_last) + " readers";
      if (outcome.readers_most > outcome.readers_last)
        closing += " (at most " + std::to_string(outcome.readers_most) + ")";
      if (const size_t left_out = outcome.left_out.size(); left_out > 0) {
        closing += ", " + std::to_string(left_out) + (left_out == 1 ? " folder" : " folders") +
                   " left out by the parameters";
      }
      PrintMessage(closing);
    }
    return outcome.error_count > 0 ? kExitFileErrors : kExitDone;
  }
  if (!quiet) {
    PrintMessage("stopped after " + std::to_string(outcome.files_done) +
                 " files; 'checker-cli continue' with the same arguments finishes the lists");
  }
  return kExitStopped;
}

}  // namespace

int RunScanCommand(const Args& args, bool continue_run) {
  const char* command = continue_run ? "continue" : "scan";
  // The job's own messages (no read buffer) come through it too.
  InstallTerminalMsgHandler();
  CommandLine line;
  if (const std::optional<int> status = TakeCommandLine(command, args, &line)) return *status;
  const ScanOptions& options = line.scan;

  scan::RunSettings settings = options.run;
  settings.mode = continue_run ? scan::kModeContinue : scan::kModeCreate;
  settings.search_path = platform::AbsolutePath(options.path);
  settings.job_name = options.name;
  scan::RunPlan plan;
  // The path before the names: a path that is no directory creates nothing.
  if (const auto problem =
          scan::CheckSearchPath(settings.search_path, scan::PathForm::kDirectoryOnly, &plan)) {
    return Refuse(*problem, options.path);
  }
  const scan::PathVolume volume = VolumeFields(options, settings.search_path);
  settings.volume_label = volume.label;
  settings.volume_serial = volume.serial;
  if (const auto status = NameLists(options, volume, &settings)) return *status;
  if (const auto status = PrepareLists(options, settings)) return *status;
  if (!options.quiet) {
    std::cout << "tree list: " << TerminalText(settings.tree_list) << "\n"
              << "id list: " << TerminalText(settings.id_list) << "\n";
    std::cout.flush();
  }
  const scan::ScanOutcome outcome = RunScanJob(options, std::move(settings));
  return ReportOutcome(outcome, options);
}

}  // namespace cli
