#pragma once
// The words of a scrub both front ends show: a finding's class, what follows its path, a
// run's figures, and why a run of a volume ended early.

#include <cstdint>
#include <string>

#include "audit/compare.h"
#include "scrub/volume_run.h"

namespace scrub {

// The class of verify a verdict is shown and counted as; a mended file is unchanged.
audit::FileChange ChangeOf(Verdict verdict);

// Why, and what to do: "its write time changed since its list was written; scan again",
// an unreadable or missing file's reason, "read from memory, not the disk". Empty for a
// corrupted file read from the disk: its class says it all.
std::string FindingNote(const Finding& finding);

// "yyyy-mm-dd hh:nn:ss" in local time of seconds since 1970; "?" when it cannot be shown.
std::string LocalTimeText(int64_t seconds);

// "scrub NAME: N files, B bytes".
std::string RunFiguresText(const std::string& name, uint64_t files, uint64_t bytes);

// Why a run of the volume of list `name` did not read it whole, without a word of any
// front end's options: "NAME: its volume is not mounted", "NAME: skipped: ...", the error
// of a list or the history. Empty for kDone and kStopped.
std::string RunStateText(const std::string& name, const RunResult& result);

}  // namespace scrub
