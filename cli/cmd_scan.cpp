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
#include "platform/files.h"
#include "platform/paths.h"
#include "lists/list_names.h"
#include "lists/list_paths.h"
#include "lists/preflight.h"
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

// A list file given or derived must be a file that this run may lock. A link is never
// followed: say so before the job meets it as "Too many levels of symbolic links".
bool CheckListFile(const std::string& path, const char* what, std::string* error) {
  const platform::PathKind kind = platform::PathKindOf(path);
  if (kind == platform::PathKind::kLink || kind == platform::PathKind::kLinkToDirectory) {
    *error = std::string(what) + " " + path + " is a symbolic link; give the list itself";
    return false;
  }
  platform::FileInfo info;
  if (!platform::StatPath(path, &info)) return true;
  if (info.kind != platform::EntryKind::kFile) {
    *error = std::string(what) + " " + path + " is not a regular file";
    return false;
  }
  return true;
}

// The two lists of the run: as given, else named after the volume in the list folder of
// the base settings (created when missing). A status to end with, or nothing.
std::optional<int> NameLists(const ScanOptions& options, const std::string& path,
                             const std::string& label, const std::string& serial_text,
                             std::string* tree_list, std::string* id_list) {
  *id_list = options.list_file.empty() ? "" : platform::AbsolutePath(options.list_file);
  *tree_list = options.tree_file.empty() ? "" : platform::AbsolutePath(options.tree_file);
  if (!id_list->empty() && !tree_list->empty()) return std::nullopt;
  if (!StartUp(options.quiet)) return kExitDone;
  const scan::BaseSettings base = scan::LoadBaseSettingsFrom(SxBaseIniFile, SxAppDir);
  const std::string folder = scan::ResolveBaseFolder(base.app_path, base.vol_path, SxAppDir);
  if (folder.empty()) return Fail("no folder for the lists is set (VolPath)");
  bool missing = false;
  const std::string problem = scan::FolderProblem(folder, &missing);
  if (!problem.empty() && !missing) return Fail("the list folder " + folder + " " + problem);
  if (missing) {
    if (!platform::MakeDirs(folder)) return Fail("cannot create the list folder " + folder);
    if (!options.quiet) PrintMessage("created the list folder " + folder);
  }
  std::string name = options.name;
  if (name.empty()) {
    std::string net;
    std::string dirs;
    NamePartsSx(path, &net, scan::kNameNetwork, "");
    NamePartsSx(path, &dirs, scan::kNameDirectories, "");
    name = scan::ComposeListName(net, label, dirs, serial_text);
  }
  if (name.empty()) return Fail("cannot name the lists of " + path + "; give --name");
  const scan::ListFileNames names = scan::NameListFiles(folder, name, base.lst_ext, base.dir_ext);
  if (id_list->empty()) *id_list = names.id_list;
  if (tree_list->empty()) *tree_list = names.tree_list;
  return std::nullopt;
}

// Refuses lists this run may not write, and backs up those a scan replaces. A status to
// end with, or nothing.
std::optional<int> PrepareLists(const ScanOptions& options, bool continue_run,
                                const std::string& tree_list, const std::string& id_list) {
  std::string error;
  if (id_list == tree_list) return Fail(std::string(scan::kSameNamesMessage) + ": " + id_list);
  if (!CheckListFile(id_list, "the id list", &error) ||
      !CheckListFile(tree_list, "the tree list", &error)) {
    return Fail(error);
  }
  const std::string held = scan::HeldListProblem(id_list);
  if (!held.empty()) return Fail(held);
  if (continue_run || options.no_backup() || !scan::ListsHoldSomething(tree_list, id_list)) {
    return std::nullopt;
  }
  // The backup folder is a shared setting: the base file is needed for it.
  if (!StartUp(options.quiet)) return kExitDone;
  const scan::BaseSettings base = scan::LoadBaseSettingsFrom(SxBaseIniFile, SxAppDir);
  const std::string folder = scan::ResolveBaseFolder(base.app_path, base.back_ups, SxAppDir);
  if (!scan::BackUpLists(tree_list, id_list, folder, &error)) {
    return Fail(error + "; nothing was written (--no-backup skips the copy)");
  }
  return std::nullopt;
}

// Names what went wrong, says how the run ended and gives the exit status.
int ReportOutcome(const ScanOutcome& outcome, const ScanOptions& options) {
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

  const std::string path = platform::AbsolutePath(options.path);
  if (!DirExistsSx(path))
    return Fail("cannot scan " + options.path + ": " + NotADirectoryReason(path));
  {
    platform::DirReader reader;
    if (!reader.Open(path)) return Fail("cannot read the directory " + options.path);
  }

  std::string label;
  uint32_t serial = 0;
  std::string serial_text;
  VolumeFields(options, path, &label, &serial, &serial_text);
  std::string tree_list;
  std::string id_list;
  if (const auto status = NameLists(options, path, label, serial_text, &tree_list, &id_list)) {
    return *status;
  }
  if (const auto status = PrepareLists(options, continue_run, tree_list, id_list)) return *status;
  if (!options.quiet) {
    std::cout << "tree list: " << TerminalText(tree_list) << "\n"
              << "id list: " << TerminalText(id_list) << "\n";
    std::cout.flush();
  }
  const ScanOutcome outcome =
      RunScanJob(options, path, continue_run ? kModeContinue : kModeCreate, label, serial,
                 tree_list, id_list);
  return ReportOutcome(outcome, options);
}

}  // namespace cli
