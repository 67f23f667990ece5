// "verify": scans again what an id list catalogued and compares the two, leaving the
// list as it is.

#include <new>
#include <optional>
#include <string>

#include "cli/catalogue_access.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/compare_report.h"
#include "cli/scan_options.h"
#include "cli/scan_run.h"
#include "cli/search_path.h"
#include "cli/terminal_msg.h"
#include "cli/terminal_text.h"
#include "audit/verify_run.h"
#include "support/toolkit.h"

namespace cli {

namespace {

constexpr int kExitStopped = 130;

int Fail(const std::string& message) {
  PrintMessage(message);
  return kExitListError;
}

// The engine says what a refusal lacks; the command line names the option that gives it.
std::string WithFlag(scan::VerifyLack lack, const std::string& error) {
  switch (lack) {
    case scan::VerifyLack::kSearchPath:
      return error + "; give --path";
    case scan::VerifyLack::kFreeName:
      return error + "; --write takes a name that is free";
    case scan::VerifyLack::kOtherName:
      return "--write " + error;
    case scan::VerifyLack::kNone:
      break;
  }
  return error;
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
  const std::string& search_path = line.search_path;
  std::string error;

  // Reads the list and holds it to the end: no run may rewrite it meanwhile.
  const std::string list_name = options.path;
  scan::VerifyRun verify;
  if (!verify.Open(list_name, search_path, &error)) return Fail(WithFlag(verify.lack(), error));
  if (search_path.empty()) {
    std::string found = verify.given_search_path();
    if (const std::optional<int> status =
            FindVolumeOfList(list_name, verify.result()->old_list.last_header(), &found))
      return *status;
    if (found != verify.given_search_path()) verify.MoveSearchPath(found);
  }
  const std::string& path = verify.search_path();
  if (!DirExistsSx(path)) {
    return Fail("cannot verify " + verify.given_search_path() + ": " + NotADirectoryReason(path));
  }

  if (!verify.Prepare(write, options.tree_file, &error)) {
    return Fail(WithFlag(verify.lack(), error));
  }
  // Before the scan: a report that cannot be saved is told before hours of reading.
  scan::ReportFile output;
  if (!line.output.empty() && !output.Open(line.output, &error)) return Fail(error);
  std::string label;
  uint32_t serial = 0;
  std::string serial_text;
  VolumeFields(options, path, &label, &serial, &serial_text);
  ScanOptions scan_options = options;
  scan_options.run = verify.JobSettings(options.run, line.cached);
  const ScanOutcome outcome = RunScanJob(scan_options, path, kModeCreate, label, serial,
                                         verify.new_tree_list(), verify.new_id_list());
  PrintProblems(outcome, false);  // the report names the folders left out
  if (!outcome.failure.empty()) return Fail(outcome.failure);
  if (!outcome.id_list_written) {
    if (!options.quiet) PrintMessage(scan::kNothingVerified);
    return kExitStopped;
  }

  if (!verify.Compare(outcome, line.report.all, &error)) return Fail(error);
  const scan::AuditResult& result = *verify.result();
  WarnAboutList(list_name, result.old_list);
  line.report.probable_copy = ProbableCopyFinder(line.catalogue, list_name);
  line.report.left_out = &result.left_out;
  const int status = ReportComparison(result, line.report, line.output.empty() ? nullptr : &output);
  if (outcome.finished) return status;
  PrintMessage(scan::PartialVerifyText(outcome.files_done));
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
