// "verify": scans again what an id list catalogued and compares the two, leaving the
// list as it is.

#include <new>
#include <string>

#include "cli/commands.h"
#include "cli/compare_report.h"
#include "cli/scan_options.h"
#include "cli/scan_run.h"
#include "cli/search_path.h"
#include "cli/terminal_msg.h"
#include "cli/terminal_text.h"
#include "cli/usage.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "platform/paths.h"
#include "scan/compare.h"
#include "scan/list_paths.h"
#include "scan/list_reader.h"
#include "support/toolkit.h"

namespace cli {

namespace {

constexpr int kExitStopped = 130;
constexpr char kTreeExtension[] = ".t00";
constexpr char kTempPrefix[] = "checker-verify-";

// verify's own options: "--path P" and "--write NEW" (or "--opt=VALUE"); the rest stays.
bool TakeVerifyOptions(Args* args, std::string* path, std::string* write, std::string* error) {
  Args rest;
  for (size_t i = 0; i < args->size(); ++i) {
    const std::string& arg = (*args)[i];
    if (arg == "--") {
      rest.insert(rest.end(), args->begin() + static_cast<ptrdiff_t>(i), args->end());
      break;
    }
    std::string* target = nullptr;
    std::string name;
    for (const char* option : {"--path", "--write"}) {
      if (arg == option || arg.rfind(std::string(option) + "=", 0) == 0) {
        name = option;
        target = name == "--path" ? path : write;
      }
    }
    if (target == nullptr) {
      rest.push_back(arg);
      continue;
    }
    if (arg.size() > name.size()) {
      *target = arg.substr(name.size() + 1);
    } else if (i + 1 < args->size()) {
      *target = (*args)[++i];
    } else {
      *error = "option '" + name + "' needs a value";
      return false;
    }
    if (target->empty()) {
      *error = "option '" + name + "' needs a value";
      return false;
    }
  }
  *args = std::move(rest);
  return true;
}

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

bool SameFile(const std::string& a, const std::string& b) {
  platform::FileInfo x;
  platform::FileInfo y;
  return platform::StatPath(a, &x) && platform::StatPath(b, &y) && x.device == y.device &&
         x.inode == y.inode;
}

// The lists of one verify: kept with --write, else in a temp folder removed at the end.
class NewLists {
 public:
  ~NewLists() {
    if (temp_dir_.empty()) return;
    platform::RemoveFile(id_list_);
    platform::RemoveFile(tree_list_);
    platform::RemoveDir(temp_dir_);
  }

  bool Prepare(const std::string& write, const std::string& tree, const std::string& list,
               std::string* error) {
    if (write.empty()) {
      temp_dir_ = platform::MakeTempDir(kTempPrefix);
      if (temp_dir_.empty()) {
        *error = "cannot create a folder for the new lists in " + platform::TempDir();
        return false;
      }
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
  std::string id_list_;
  std::string tree_list_;
};

int Fail(const std::string& message) {
  PrintMessage(message);
  return kExitListError;
}

int Verify(const Args& given) {
  Args args = given;
  ReportOptions report;
  std::string search_path;
  std::string write;
  std::string error;
  if (!TakeReportOptions(&args, &report, &error) ||
      !TakeVerifyOptions(&args, &search_path, &write, &error)) {
    return UsageError("verify: " + error);
  }
  ScanOptions options;
  if (!ParseScanOptions(args, &options, &error)) {
    for (size_t at = error.find("PATH"); at != std::string::npos; at = error.find("PATH", at)) {
      error.replace(at, 4, "LIST");
    }
    return UsageError("verify: " + error);
  }
  if (options.help) return PrintCommandUsage("verify");
  if (!options.list_file.empty() || !options.name.empty()) {
    return UsageError("verify: --list and --name are no options of verify; --write NEW keeps "
                      "the new lists");
  }
  if (!options.tree_file.empty() && write.empty()) {
    return UsageError("verify: --tree goes with --write");
  }

  const std::string list_name = options.path;
  scan::IdList old_list;
  scan::ListReadError read_error;
  if (!scan::ReadIdList(list_name, &old_list, &read_error)) {
    return Fail(ListErrorText(list_name, read_error));
  }
  if (search_path.empty()) {
    if (old_list.search_path().empty()) {
      return Fail(list_name + " names no search path; give --path");
    }
    search_path = old_list.search_path();
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
  const ScanOutcome outcome = RunScanJob(options, path, kModeCreate, label, serial,
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
  const scan::ListComparison comparison = scan::CompareIdLists(old_list, new_list, report.all);
  const int status = ReportComparison(old_list, new_list, comparison, report);
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
