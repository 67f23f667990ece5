#include "scrub/run_text.h"

#include <cstdio>

#include "platform/clock.h"

namespace scrub {

audit::FileChange ChangeOf(Verdict verdict) {
  switch (verdict) {
    case Verdict::kTouched:
      return audit::FileChange::kTouched;
    case Verdict::kChanged:
      return audit::FileChange::kChanged;
    case Verdict::kCorrupted:
      return audit::FileChange::kCorrupted;
    case Verdict::kUnreadable:
      return audit::FileChange::kUnreadable;
    case Verdict::kMissing:
      return audit::FileChange::kMissing;
    case Verdict::kUnchanged:
    case Verdict::kMended:
      break;
  }
  return audit::FileChange::kUnchanged;
}

std::string LocalTimeText(int64_t seconds) {
  platform::DateTime t;
  const platform::FileTime file_time = platform::FileTimeOfUnixSeconds(seconds);
  if (!platform::FileTimeToLocalDateTime(file_time, &t)) return "?";
  char text[32];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

std::string FindingNote(const Finding& finding) {
  std::string note;
  switch (finding.verdict) {
    case Verdict::kTouched:
      note = "its write time changed since its list was written; scan again";
      break;
    case Verdict::kChanged:
      note = finding.reason.empty() ? "edited since its list was written" : finding.reason;
      note += "; scan again";
      break;
    case Verdict::kUnreadable:
    case Verdict::kMissing:
      note = finding.reason;
      break;
    default:
      break;
  }
  if (finding.from_memory)
    note += std::string(note.empty() ? "" : "; ") + "read from memory, not the disk";
  return note;
}

std::string RunFiguresText(const std::string& name, uint64_t files, uint64_t bytes) {
  return "scrub " + name + ": " + std::to_string(files) + " files, " + std::to_string(bytes) +
         " bytes";
}

std::string RunStateText(const std::string& name, const RunResult& result) {
  switch (result.state) {
    case RunState::kNotMounted:
      return name + ": its volume is not mounted";
    case RunState::kBusy:
      return name + ": skipped: another scrub reads its volume, or a scan writes its list";
    case RunState::kListError:
    case RunState::kHistoryError:
      return name + ": " + result.error;
    case RunState::kDone:
    case RunState::kStopped:
      break;
  }
  return {};
}

}  // namespace scrub
