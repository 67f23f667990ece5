// "verify": scans again what an id list catalogued and compares the two, leaving the
// list as it is.

#include <new>
#include <optional>
#include <string>

#include "audit/verify_plan.h"
#include "cli/catalogue_access.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/compare_report.h"
#include "cli/scan_options.h"
#include "cli/scan_run.h"
#include "cli/search_path.h"
#include "cli/terminal_msg.h"
#include "cli/terminal_text.h"
#include "support/toolkit.h"

namespace cli {

namespace {

constexpr int kExitStopped = 130;

int Fail(const std::string& message) {
  PrintMessage(message);
  return kExitListError;
}

// The engine says what a refusal lacks; the command line names the option that gives it.
std::string WithFlag(audit::VerifyLack lack, const std::string& error) {
  switch (lack) {
    case audit::VerifyLack::kSearchPath:
      return error + "; give --path";
    case audit::VerifyLack::kFreeName:
      return error + "; --write takes a name that is free";
    case audit::VerifyLack::kOtherName:
      return "--write " + error;
    case audit::VerifyLack::kNone:
      break;
  }
  return error;
}

int Refuse(const audit::VerifyPlan& plan, const audit::VerifyRun& verify) {
  switch (plan.refusal) {
    case audit::VerifyRefusal::kNotMounted:
      return Fail(plan.reason + "; mount it, or give --path");
    case audit::VerifyRefusal::kUndecided:
      return Fail(plan.reason + "; give --path");
    case audit::VerifyRefusal::kNoDirectory:
      return Fail("cannot verify " + verify.given_search_path() + ": " +
                  NotADirectoryReason(verify.search_path()));
    case audit::VerifyRefusal::kList:
    case audit::VerifyRefusal::kNewLists:
    case audit::VerifyRefusal::kNone:
      break;
  }
  return Fail(WithFlag(plan.lack, plan.reason));
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
  // Reads the list and holds it to the end: no run may rewrite it meanwhile.
  const std::string list_name = options.path;
  audit::VerifyRequest request;
  request.list = list_name;
  request.search_path = line.search_path;
  request.write = write;
  request.tree = options.tree_file;
  request.base = options.run;
  request.cached = line.cached;
  request.label = options.label;
  request.serial = options.serial;
  audit::VerifyRun verify;
  const audit::VerifyPlan plan = audit::PlanVerify(request, &verify);
  if (!plan.moved.empty()) PrintMessage(plan.moved);
  if (plan.refusal != audit::VerifyRefusal::kNone) return Refuse(plan, verify);
  // Before the scan: a report that cannot be saved is told before hours of reading.
  std::string error;
  audit::ReportFile output;
  if (!line.output.empty() && !output.Open(line.output, &error)) return Fail(error);
  const scan::ScanOutcome outcome = RunScanJob(options, plan.settings);
  PrintProblems(outcome, false);  // the report names the folders left out
  if (!outcome.failure.empty()) return Fail(outcome.failure);
  if (!outcome.id_list_written) {
    if (!options.quiet) PrintMessage(audit::kNothingVerified);
    return kExitStopped;
  }

  if (!verify.Compare(outcome, line.report.all, &error)) return Fail(error);
  const audit::AuditResult& result = *verify.result();
  WarnAboutList(list_name, result.old_list);
  line.report.probable_copy = ProbableCopyFinder(line.catalogue, list_name);
  line.report.left_out = &result.left_out;
  const int status = ReportComparison(result, line.report, line.output.empty() ? nullptr : &output);
  if (outcome.finished) return status;
  PrintMessage(audit::PartialVerifyText(outcome.files_done));
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
