#pragma once
// How compare and verify show what changed: one line (or one JSON object) per file on
// stdout, a summary per class and the warnings on stderr, and the exit status. The
// texts are the audit report's (audit/audit_report.h).

#include <string_view>

#include "audit/audit_report.h"
#include "audit/compare.h"
#include "lists/list_reader.h"

namespace cli {

constexpr int kExitSame = 0;        // no differences
constexpr int kExitDifferent = 1;   // differences, nothing corrupted or unreadable
constexpr int kExitListError = 2;   // usage error, or a list that cannot be read
constexpr int kExitDamaged = 3;     // corrupted or unreadable files

using ReportOptions = audit::ReportOptions;
using audit::AppendJsonString;
using audit::ListErrorText;
using audit::ProbableCopy;

// "checker-cli: warning: ..." for each of audit::ListWarnings.
void WarnAboutList(std::string_view name, const lists::IdList& list);

// Writes the files on stdout, or the saved report into `file` when given, and the summary
// on stderr; returns the exit status.
int ReportComparison(const audit::AuditResult& result, const ReportOptions& options,
                     audit::ReportFile* file = nullptr);

}  // namespace cli
