// "compare": what changed between two id lists.

#include <future>
#include <new>
#include <optional>
#include <string>

#include "cli/catalogue_access.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/compare_report.h"
#include "cli/terminal_text.h"
#include "audit/compare.h"
#include "lists/list_reader.h"

namespace cli {

int RunCompareCommand(const Args& args) {
  CommandLine line;
  if (const std::optional<int> status = TakeCommandLine("compare", args, &line)) return *status;
  const Args& lists = line.operands;
  ReportOptions& options = line.report;
  const bool relative = line.relative;

  try {
    // The two lists are read and sorted side by side.
    scan::IdList new_list;
    scan::ListReadError new_error;
    std::future<bool> new_read = std::async(std::launch::async | std::launch::deferred, [&] {
      return scan::ReadIdList(lists[1], &new_list, &new_error);
    });
    scan::IdList old_list;
    scan::ListReadError old_error;
    const bool old_ok = scan::ReadIdList(lists[0], &old_list, &old_error);
    const bool new_ok = new_read.get();
    if (!old_ok) PrintMessage(ListErrorText(lists[0], old_error));
    if (!new_ok) PrintMessage(ListErrorText(lists[1], new_error));
    if (!old_ok || !new_ok) return kExitListError;

    if (relative) {
      for (size_t i = 0; i < 2; ++i) {
        if ((i == 0 ? old_list : new_list).search_path().empty()) {
          PrintMessage(lists[i] + " names no search path; --relative needs it");
          return kExitListError;
        }
      }
    }
    WarnAboutList(lists[0], old_list);
    WarnAboutList(lists[1], new_list);
    scan::CompareOptions compare;
    compare.keep_unchanged = options.all;
    compare.relative = relative;
    const scan::ListComparison comparison = scan::CompareIdLists(old_list, new_list, compare);
    options.probable_copy = ProbableCopyFinder(line.catalogue, lists[0]);
    return ReportComparison(old_list, new_list, comparison, options);
  } catch (const std::bad_alloc&) {
    PrintMessage("not enough memory to compare " + lists[0] + " and " + lists[1]);
    return kExitListError;
  }
}

}  // namespace cli
