#pragma once
// "Scrub now" in the window: one scrub of one volume, its findings worded as verify's
// classes, and what the Audit page shows of them. The run itself is the engine's; this
// only opens the history, hands its reports on and gathers its end.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "app/run/run_control.h"
#include "catalogue/catalogue_index.h"

// What a scrub reports as it goes; called on the scrub's thread, one call at a time.
struct ScrubReports {
  // After each file: files and bytes read, the file just judged.
  std::function<void(uint64_t files, uint64_t bytes, const std::string& path)> progress;
  // A problem as the Run page lists it: the path, and verify's class with why.
  std::function<void(const std::string& path, const std::string& reason)> found;
};

// Scrubs the volume of `list` where it is mounted now, on the calling thread, until it
// ends or `stop` is set (what was checked is kept). The end has the last line
// (`scrub_line`) and, when the run read the volume, its findings as a verify's result
// for the Audit page; a run that could not start has `error`.
AuditEnd RunScrub(const catalogue::CatalogueList& list, const std::atomic<bool>* stop,
                  const ScrubReports& reports);
