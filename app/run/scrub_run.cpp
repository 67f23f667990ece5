#include "app/run/scrub_run.h"

#include <QDateTime>
#include <algorithm>
#include <unordered_map>
#include <utility>
#include <vector>

#include "audit/audit_report.h"
#include "catalogue/mounted.h"
#include "platform/clock.h"
#include "scrub/run_text.h"

namespace {

using audit::FileChange;

int64_t NowSeconds() { return platform::UnixSecondsOf(platform::NowFileTime()); }

// The Run page's reason: verify's class, then why.
std::string ProblemText(const scrub::Finding& finding) {
  const std::string note = scrub::FindingNote(finding);
  return std::string(audit::FileChangeName(scrub::ChangeOf(finding.verdict))) +
         (note.empty() ? "" : ": " + note);
}

// The findings as a verify of the list that found them: each against its line, in the
// order of the paths, with its reason where it has one.
std::shared_ptr<audit::AuditResult> FindingsResult(const catalogue::CatalogueList& list,
                                                   const scrub::RunResult& run,
                                                   std::string* error) {
  auto result = std::make_shared<audit::AuditResult>();
  result->old_name = list.path;
  result->new_name = list.path;
  result->verify = true;
  result->date = QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss").toStdString();
  lists::ListReadError read_error;
  if (!run.findings.empty() && !lists::ReadIdList(list.path, &result->old_list, &read_error)) {
    *error = audit::ListErrorText(list.path, read_error);
    return nullptr;
  }
  std::unordered_map<std::string, const scrub::Finding*> wanted;
  for (const scrub::Finding& finding : run.findings) wanted[finding.listed_path] = &finding;
  std::vector<std::pair<std::string, audit::FileComparison>> rows;
  audit::ChangeTotals& totals = result->comparison.totals;
  uint64_t found_bytes = 0;
  for (const lists::ListedFile& file : result->old_list.files()) {
    if (wanted.empty()) break;
    std::string path = result->old_list.FullPath(file);
    const auto at = wanted.find(path);
    if (at == wanted.end()) continue;
    const scrub::Finding& finding = *at->second;
    wanted.erase(at);
    const FileChange change = scrub::ChangeOf(finding.verdict);
    totals.files[static_cast<size_t>(change)] += 1;
    totals.bytes[static_cast<size_t>(change)] += file.size;
    found_bytes += file.size;
    if (finding.from_memory) {
      ++totals.from_memory_files;
      totals.from_memory_bytes += file.size;
    }
    const std::string note = scrub::FindingNote(finding);
    if (!note.empty()) {
      const scan::ProblemKind kind = change == FileChange::kUnreadable
                                         ? scan::ProblemKind::kUnreadable
                                         : scan::ProblemKind::kChanged;
      result->problems.push_back({path, note, kind});
    }
    rows.emplace_back(std::move(path),
                      audit::FileComparison{change, &file, nullptr, finding.from_memory});
  }
  std::sort(rows.begin(), rows.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& row : rows) result->comparison.files.push_back(row.second);
  const size_t unchanged = static_cast<size_t>(FileChange::kUnchanged);
  totals.files[unchanged] = run.files - std::min<uint64_t>(run.files, run.findings.size());
  totals.bytes[unchanged] = run.bytes - std::min(run.bytes, found_bytes);
  // The page keeps what it shows, not the list: a scan may take it again.
  result->old_list.ReleaseFile();
  return result;
}

}  // namespace

AuditEnd RunScrub(const catalogue::CatalogueList& list, const std::atomic<bool>* stop,
                  const ScrubReports& reports) {
  AuditEnd end;
  end.verify = true;
  end.scrub = true;
  end.title = "Scrub of " + list.path;
  const std::string history_path = scrub::HistoryPath();
  scrub::History history;
  if (history_path.empty()) {
    end.error = "no data folder: neither XDG_DATA_HOME nor HOME is set";
  } else if (!history.Open(history_path)) {
    end.error = history.error();
  }
  if (!end.error.empty()) {
    end.scrub_line = "scrub: " + list.name + ": " + end.error;
    return end;
  }
  scrub::RunOptions options;  // the command line's default budget and cycle
  options.now = NowSeconds;
  options.stop = stop;
  scrub::RunSinks sinks;
  sinks.found = [&](const scrub::Finding& finding) {
    if (reports.found) reports.found(finding.path, ProblemText(finding));
  };
  sinks.progress = reports.progress;
  const scrub::RunResult run =
      scrub::ScrubVolume(&history, history_path, list, catalogue::MountedVolumes(), options, sinks);
  end.error = scrub::RunStateText(list.name, run);
  if (!end.error.empty()) {
    end.scrub_line = "scrub: " + end.error;
    return end;
  }
  end.scrub_line = scrub::RunFiguresText(list.name, run.files, run.bytes);
  end.scrub_files = run.files;
  end.scrub_bytes = run.bytes;
  if (run.state == scrub::RunState::kStopped) {
    end.scrub_line += "; cancelled: what was checked is kept";
  }
  if (!run.findings.empty()) {
    end.scrub_line += "; " + std::to_string(run.findings.size()) +
                      (run.findings.size() == 1 ? " problem" : " problems") +
                      ", shown on the Audit page";
  }
  std::string error;
  end.result = FindingsResult(list, run, &error);
  if (end.result == nullptr) end.error = error;
  return end;
}
