// "compare": what changed between two id lists.

#include <new>
#include <optional>
#include <string>
#include <vector>

#include "cli/catalogue_access.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/compare_report.h"
#include "cli/terminal_text.h"
#include "audit/verify_run.h"

namespace cli {

int RunCompareCommand(const Args& args) {
  CommandLine line;
  if (const std::optional<int> status = TakeCommandLine("compare", args, &line)) return *status;
  const Args& lists = line.operands;
  ReportOptions& options = line.report;
  const bool relative = line.relative;

  try {
    audit::CompareOptions compare;
    compare.keep_unchanged = options.all;
    compare.relative = relative;
    audit::AuditResult result;
    std::vector<std::string> errors;
    if (!audit::CompareListFiles(lists[0], lists[1], compare, &result, &errors)) {
      for (const std::string& error : errors) PrintMessage(error);
      return kExitListError;
    }
    audit::ReportFile output;
    std::string error;
    if (!line.output.empty() && !output.Open(line.output, &error)) {
      PrintMessage(error);
      return kExitListError;
    }
    WarnAboutList(lists[0], result.old_list);
    WarnAboutList(lists[1], result.new_list);
    options.probable_copy = ProbableCopyFinder(line.catalogue, lists[0]);
    return ReportComparison(result, options, line.output.empty() ? nullptr : &output);
  } catch (const std::bad_alloc&) {
    PrintMessage("not enough memory to compare " + lists[0] + " and " + lists[1]);
    return kExitListError;
  }
}

}  // namespace cli
