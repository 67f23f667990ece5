#include "cli/compare_report.h"

#include <cstdio>
#include <string>

#include "cli/terminal_text.h"

namespace cli {

void WarnAboutList(std::string_view name, const lists::IdList& list) {
  for (const std::string& warning : audit::ListWarnings(name, list)) {
    PrintMessage("warning: " + warning);
  }
}

int ReportComparison(const audit::AuditResult& result, const ReportOptions& options,
                     audit::ReportFile* file) {
  const audit::ListComparison& comparison = result.comparison;
  std::string error;
  if (file == nullptr) {
    audit::WriteReportLines(comparison, result.old_list, result.new_list, options,
                           [](std::string_view text) { WriteOut(text); });
    std::fflush(stdout);
  } else if (!file->Write(result, options, &error)) {
    PrintMessage(error);
    return kExitListError;
  }
  const std::string summary = audit::SummaryText(comparison.totals);
  std::fwrite(summary.data(), 1, summary.size(), stderr);
  std::fflush(stderr);
  switch (audit::VerdictOf(comparison.totals)) {
    case audit::AuditVerdict::kDamaged:
      return kExitDamaged;
    case audit::AuditVerdict::kDifferent:
      return kExitDifferent;
    case audit::AuditVerdict::kSame:
      break;
  }
  return kExitSame;
}

}  // namespace cli
