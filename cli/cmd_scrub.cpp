// "scrub": a share of each volume's files read from the disk each run, the stalest first,
// with a history that lasts; "scrub --status": where each volume stands.

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "catalogue/file_query.h"
#include "catalogue/mounted.h"
#include "catalogue/volumes.h"
#include "cli/catalogue_access.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/compare_report.h"
#include "cli/now.h"
#include "cli/terminal_msg.h"
#include "cli/terminal_text.h"
#include "platform/clock.h"
#include "platform/interrupt.h"
#include "platform/paths.h"
#include "platform/priority.h"
#include "scrub/run_text.h"
#include "scrub/status.h"
#include "scrub/volume_run.h"

namespace cli {

namespace {

using catalogue::CatalogueList;

constexpr int kExitStopped = 130;
constexpr int kStderr = 2;
constexpr size_t kClassWidth = 15;              // as verify's lines

// "90s", "30m", "2h", "30d" or plain seconds.
std::optional<int64_t> ParseDuration(std::string_view text) {
  int64_t unit = 1;
  if (!text.empty()) {
    switch (text.back()) {
      case 's':
        unit = 1;
        break;
      case 'm':
        unit = 60;
        break;
      case 'h':
        unit = 3600;
        break;
      case 'd':
        unit = 86400;
        break;
      default:
        unit = 0;
        break;
    }
    if (unit != 0) text.remove_suffix(1);
    if (unit == 0) unit = 1;
  }
  int64_t value = 0;
  const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || parsed.ec != std::errc() || parsed.ptr != text.data() + text.size() ||
      value <= 0 || value > int64_t{UINT32_MAX} / unit) {
    return std::nullopt;
  }
  return value * unit;
}

std::optional<double> ParsePercent(std::string_view text) {
  if (!text.empty() && text.back() == '%') text.remove_suffix(1);
  double value = 0;
  const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || parsed.ec != std::errc() || parsed.ptr != text.data() + text.size() ||
      !(value > 0 && value <= 100)) {
    return std::nullopt;
  }
  return value;
}

// The budget and cycle of the options; the exit status of a usage error.
std::optional<int> TakeBudget(const ScrubOptions& options, scrub::Budget* budget) {
  const int given = !options.budget.empty() + !options.time.empty() + options.bytes.has_value();
  if (given > 1) return UsageError("scrub: give one of --budget, --time and --bytes");
  if (!options.budget.empty()) {
    const std::optional<double> percent = ParsePercent(options.budget);
    if (!percent) {
      return UsageError("scrub: --budget takes a share such as 5%, not '" + options.budget + "'");
    }
    budget->percent = *percent;
  } else if (!options.time.empty()) {
    const std::optional<int64_t> seconds = ParseDuration(options.time);
    if (!seconds) {
      return UsageError("scrub: --time takes a time such as 90s, 30m or 2h, not '" + options.time +
                        "'");
    }
    budget->kind = scrub::Budget::Kind::kTime;
    budget->seconds = *seconds;
  } else if (options.bytes) {
    budget->kind = scrub::Budget::Kind::kBytes;
    budget->bytes = *options.bytes;
  }
  if (options.rate && *options.rate == 0) {
    return UsageError("scrub: --rate takes a size above 0 such as 50M, not '0'");
  }
  const std::optional<int64_t> cycle = ParseDuration(options.cycle);
  if (!cycle) {
    return UsageError("scrub: --cycle takes a time such as 30d or 12h, not '" + options.cycle +
                      "'");
  }
  budget->cycle = static_cast<uint32_t>(*cycle);
  return std::nullopt;
}

// Each volume's newest list, or the lists named.
std::optional<int> Targets(const Args& operands, const std::vector<CatalogueList>& lists,
                           std::vector<const CatalogueList*>* targets) {
  for (const std::string& name : operands) {
    std::string error;
    const CatalogueList* list = PickList(lists, name, &error);
    if (list == nullptr) return UsageError("scrub: " + error);
    targets->push_back(list);
  }
  if (!operands.empty()) return std::nullopt;
  for (const auto& volume : catalogue::ListsByVolume(lists)) {
    // "yyyy-mm-dd hh:nn:ss" sorts by its text.
    targets->push_back(*std::max_element(volume.begin(), volume.end(),
                                         [](const CatalogueList* a, const CatalogueList* b) {
                                           return a->run_start < b->run_start;
                                         }));
  }
  return std::nullopt;
}

std::string FindingText(const scrub::Finding& finding, const CatalogueList& list, bool jsonl) {
  const std::string_view change = audit::FileChangeName(scrub::ChangeOf(finding.verdict));
  const std::string note = scrub::FindingNote(finding);
  if (jsonl) {
    std::string json = "{\"class\":";
    AppendJsonString(&json, change);
    json += ",\"volume\":";
    AppendJsonString(&json, list.name);
    json += ",\"path\":";
    AppendJsonString(&json, finding.path);
    if (!note.empty()) {
      json += ",\"note\":";
      AppendJsonString(&json, note);
    }
    return json + "}\n";
  }
  std::string line(change);
  line.resize(kClassWidth, ' ');
  line += finding.path;
  if (!note.empty()) line += ": " + note;
  return line + "\n";
}

struct Outcome {
  audit::ChangeTotals totals;
  int status = kExitSame;  // a failure's, when worse than the findings'
  bool stopped = false;
};

void ScrubOne(scrub::History* history, const std::string& history_path, const CatalogueList& list,
              const std::vector<catalogue::MountedVolume>& mounted, bool named,
              const scrub::RunOptions& options, const CommandLine& line, Outcome* outcome) {
  const bool progress = line.catalogue.progress && platform::IsTerminal(kStderr);
  scrub::RunSinks sinks;
  sinks.found = [&](const scrub::Finding& finding) {
    WriteOut(FindingText(finding, list, line.catalogue.jsonl));
    std::fflush(stdout);
  };
  if (progress) {
    sinks.progress = [&](uint64_t files, uint64_t bytes, const std::string&) {
      const std::string text = "\r" + scrub::RunFiguresText(list.name, files, bytes);
      std::fputs(TerminalText(text).c_str(), stderr);
    };
  }
  const scrub::RunResult result =
      scrub::ScrubVolume(history, history_path, list, mounted, options, sinks);
  if (progress && result.files > 0) std::fputs("\n", stderr);
  for (const scrub::Finding& finding : result.findings) {
    const size_t change = static_cast<size_t>(scrub::ChangeOf(finding.verdict));
    ++outcome->totals.files[change];
    if (finding.from_memory) ++outcome->totals.from_memory_files;
  }
  switch (result.state) {
    case scrub::RunState::kDone:
      break;
    case scrub::RunState::kNotMounted:
      if (!named) break;
      PrintMessage("scrub: " + scrub::RunStateText(list.name, result));
      outcome->status = kExitListError;
      break;
    case scrub::RunState::kBusy:
      PrintMessage("scrub: " + scrub::RunStateText(list.name, result) + " (--wait waits)");
      break;
    case scrub::RunState::kListError:
    case scrub::RunState::kHistoryError:
      PrintMessage("scrub: " + scrub::RunStateText(list.name, result));
      outcome->status = kExitListError;
      break;
    case scrub::RunState::kStopped:
      outcome->stopped = true;
      break;
  }
}

std::string StatusText(const CatalogueList& list, const scrub::VolumeStatus& status,
                       const std::string& mounted_at, bool jsonl) {
  const uint64_t share = status.bytes == 0 ? 100 : status.cycle_bytes * 100 / status.bytes;
  const auto when = [](const std::optional<int64_t>& time) {
    return time ? scrub::LocalTimeText(*time) : std::string("never");
  };
  if (jsonl) {
    std::string json = "{\"volume\":";
    AppendJsonString(&json, list.name);
    json += ",\"label\":";
    AppendJsonString(&json, list.label);
    json += ",\"files\":" + std::to_string(status.files) +
            ",\"bytes\":" + std::to_string(status.bytes) +
            ",\"cycle_percent\":" + std::to_string(share) +
            ",\"never_checked\":" + std::to_string(status.never_checked) +
            ",\"overdue\":" + std::to_string(status.overdue) +
            ",\"damaged\":" + std::to_string(status.damaged) + ",\"oldest_check\":";
    AppendJsonString(&json, when(status.facts.oldest_check));
    json += ",\"last_run\":";
    AppendJsonString(&json, when(status.facts.last_run_start));
    json += ",\"mounted_at\":";
    if (mounted_at.empty()) {
      json += "null";
    } else {
      AppendJsonString(&json, mounted_at);
    }
    return json + "}\n";
  }
  return list.name + "  " + std::to_string(status.files) + " files  " +
         std::to_string(status.bytes) + " bytes  " + std::to_string(share) +
         "% checked within the cycle  oldest check " + when(status.facts.oldest_check) +
         "  never checked " + std::to_string(status.never_checked) + "  overdue " +
         std::to_string(status.overdue) + "  last run " + when(status.facts.last_run_start) +
         "  damaged " + std::to_string(status.damaged) + "  " +
         (mounted_at.empty() ? "not mounted" : "mounted at " + mounted_at) + "\n";
}

int ShowStatus(scrub::History* history, const std::vector<const CatalogueList*>& targets,
               const std::vector<catalogue::MountedVolume>& mounted, const CommandLine& line,
               uint32_t cycle) {
  int status = 0;
  for (const CatalogueList* list : targets) {
    lists::IdList read;
    lists::ListReadError error;
    scrub::VolumeStatus volume;
    if (!lists::ReadIdList(list->path, &read, &error)) {
      PrintMessage("scrub: " + ListErrorText(list->name, error));
      status = kExitListError;
      continue;
    }
    if (!scrub::StatusOf(history, *list, read, cycle, &volume)) {
      PrintMessage("scrub: " + list->name + ": " + history->error());
      status = kExitListError;
      continue;
    }
    const std::string mount = catalogue::MountPointOf(
        mounted,
        catalogue::ChooseVolume(mounted, list->serial, list->label).device != 0 ? list->serial : 0);
    WriteOut(StatusText(*list, volume, mount, line.catalogue.jsonl));
  }
  return status;
}

int Scrub(const Args& args) {
  CommandLine line;
  if (const std::optional<int> status = TakeCommandLine("scrub", args, &line)) return *status;
  scrub::Budget budget;
  if (const std::optional<int> status = TakeBudget(line.scrub, &budget)) return *status;
  const std::string history_path = scrub::HistoryPath();
  if (history_path.empty()) {
    return UsageError("no data folder: neither XDG_DATA_HOME nor HOME is set");
  }
  // A timer's run on a machine without a catalogue has nothing to do, quietly.
  std::unique_ptr<catalogue::CatalogueIndex> index;
  if (const std::optional<int> status = OpenCatalogue(line.catalogue, &index, true)) {
    return *status;
  }
  if (!index) return line.operands.empty() ? 0 : UsageError("scrub: no catalogue");
  const std::vector<CatalogueList> lists = index->Lists();
  std::vector<const CatalogueList*> targets;
  if (const std::optional<int> status = Targets(line.operands, lists, &targets)) return *status;
  const std::vector<catalogue::MountedVolume> mounted = catalogue::MountedVolumes();
  scrub::History history;
  if (!history.Open(history_path)) {
    PrintMessage("scrub: " + history.error());
    return kExitListError;
  }
  if (line.scrub.status) return ShowStatus(&history, targets, mounted, line, budget.cycle);
  if (line.scrub.idle && !platform::SetIdlePriority()) {
    PrintMessage("scrub: warning: cannot lower the priority of the reads");
  }
  scrub::RunOptions options;
  options.budget = budget;
  options.rate = line.scrub.rate.value_or(0);
  options.wait = line.scrub.wait;
  options.read_placeholders = line.scrub.read_placeholders;
  options.now = NowSeconds;
  options.stop = platform::StopSignalFlag();
  Outcome outcome;
  for (const CatalogueList* list : targets) {
    if (platform::StopSignalReceived()) outcome.stopped = true;
    if (outcome.stopped) break;
    ScrubOne(&history, history_path, *list, mounted, !line.operands.empty(), options, line,
             &outcome);
  }
  if (outcome.stopped) return kExitStopped;
  int status = kExitSame;
  switch (audit::VerdictOf(outcome.totals)) {
    case audit::AuditVerdict::kDamaged:
      status = kExitDamaged;
      break;
    case audit::AuditVerdict::kDifferent:
      status = kExitDifferent;
      break;
    case audit::AuditVerdict::kSame:
      break;
  }
  // 3 (damage) outranks 2 (a list or the history failed), which outranks 1 (edits).
  return std::max(outcome.status, status);
}

}  // namespace

int RunScrubCommand(const Args& args) {
  InstallTerminalMsgHandler();
  return Scrub(args);
}

}  // namespace cli
