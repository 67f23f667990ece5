#pragma once
// One scrub of one volume: its newest list read (and held, so no scan rewrites it
// meanwhile), the volume locked against a second scrub, the files chosen, read and
// judged, and every check written to the history as it goes.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/catalogue_index.h"
#include "catalogue/mounted.h"
#include "platform/files.h"
#include "scrub/history.h"
#include "scrub/selection.h"

namespace scrub {

// The history's name of the volume of a list: its serial and label.
std::string VolumeKey(const catalogue::CatalogueList& list);

// Another scrub holds the volume: taken with `wait` (which waits for it, testing
// `stop` each second) or refused at once. The lock lies beside the history.
class VolumeLock {
 public:
  enum class Result { kTaken, kBusy, kFailed, kStopped };
  Result Take(const std::string& history_path, const std::string& volume_key, bool wait,
              const std::atomic<bool>* stop);
  const std::string& error() const { return error_; }

 private:
  platform::File file_;
  std::string error_;
};

struct RunOptions {
  Budget budget;
  uint64_t rate = 0;               // bytes a second, 0: no cap
  bool wait = false;               // for the lock of the volume and its list
  bool read_placeholders = false;  // read files whose data is not on this disk (fetching it)
  std::function<int64_t()> now;    // seconds since 1970 (UTC); the settable clock
  const std::atomic<bool>* stop = nullptr;
};

// A file whose check found more than "unchanged".
struct Finding {
  Verdict verdict = Verdict::kUnchanged;
  std::string path;    // where it is mounted now
  std::string reason;  // unreadable, missing: why
  bool from_memory = false;
  std::string listed_path;  // as its list holds it
};

// How the run of a volume ended.
enum class RunState {
  kDone,
  kNotMounted,  // the volume is not mounted now (or it is not known which is its)
  kBusy,        // another scrub holds the volume, or a scan its list
  kListError,   // the list cannot be read (`error` says why)
  kHistoryError,
  kStopped,  // told to stop: what was checked is kept
};

struct RunResult {
  RunState state = RunState::kDone;
  std::string error;
  uint64_t files = 0;  // read and judged
  uint64_t bytes = 0;
  std::vector<Finding> findings;
};

struct RunSinks {
  std::function<void(const Finding&)> found;  // as each is found
  // After each file: files and bytes done, the file just judged (where it is mounted).
  std::function<void(uint64_t files, uint64_t bytes, const std::string& path)> progress;
};

RunResult ScrubVolume(History* history, const std::string& history_path,
                      const catalogue::CatalogueList& list,
                      const std::vector<catalogue::MountedVolume>& mounted,
                      const RunOptions& options, const RunSinks& sinks);

// The file of `list` at `path` where its volume is mounted now; empty when it is not.
std::string MountedFileOf(const std::vector<catalogue::MountedVolume>& mounted,
                          const catalogue::CatalogueList& list, const std::string& path);

}  // namespace scrub
