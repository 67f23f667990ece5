#include "cli/compare_report.h"

#include <cstdio>
#include <string>

#include "cli/terminal_text.h"

namespace cli {

void WarnAboutList(std::string_view name, const scan::IdList& list) {
  for (const std::string& warning : scan::ListWarnings(name, list)) {
    PrintMessage("warning: " + warning);
  }
}

int ReportComparison(const scan::IdList& old_list, const scan::IdList& new_list,
                     const scan::ListComparison& comparison, const ReportOptions& options) {
  scan::WriteReportLines(comparison, old_list, new_list, options,
                         [](std::string_view text) { WriteOut(text); });
  std::fflush(stdout);
  const std::string summary = scan::SummaryText(comparison.totals);
  std::fwrite(summary.data(), 1, summary.size(), stderr);
  std::fflush(stderr);
  switch (scan::VerdictOf(comparison.totals)) {
    case scan::AuditVerdict::kDamaged:
      return kExitDamaged;
    case scan::AuditVerdict::kDifferent:
      return kExitDifferent;
    case scan::AuditVerdict::kSame:
      break;
  }
  return kExitSame;
}

}  // namespace cli
