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

int ReportComparison(const scan::AuditResult& result, const ReportOptions& options,
                     scan::ReportFile* file) {
  const scan::ListComparison& comparison = result.comparison;
  std::string error;
  if (file == nullptr) {
    scan::WriteReportLines(comparison, result.old_list, result.new_list, options,
                           [](std::string_view text) { WriteOut(text); });
    std::fflush(stdout);
  } else if (!file->Write(result, options, &error)) {
    PrintMessage(error);
    return kExitListError;
  }
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
