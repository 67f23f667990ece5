#pragma once
// One listed file checked on its device and, when damaged, mended from a proven copy on
// another volume: the facts of what was found and done, which each front end words.

#include <atomic>
#include <string>
#include <vector>

#include "repair/device_read.h"
#include "repair/mend_history.h"

namespace repair {

enum class Damage {
  kNone,         // as listed
  kCorrupted,    // the same size and write time, another id
  kUnreadable,   // read errors
  kMissing,      // nothing under the name
  kChanged,      // another size or write time: the user's edit, never mended
  kChanging,     // changed while it was read
  kPlaceholder,  // its data is not on this disk: not read, so not known
};

struct RepairOptions {
  bool missing = false;   // mend missing files too
  bool any_time = false;  // a copy with another write time may serve
  bool dry_run = false;
  std::string keep_dir;  // empty: a hard link beside the damaged file
  bool read_placeholders = false;  // read files whose data is not on this disk (fetching it)
  platform::FileTime now = 0;
  const std::atomic<bool>* stop = nullptr;  // set: no mend starts, one under way is undone
};

// What the file at `path` (the file of `key`) is now; `now` receives what was read. A
// read stopped midway (`options.stop`) finds it unreadable: the caller tests the flag.
Damage FindDamage(const std::string& path, const FileKey& key, FileNow* now,
                  const RepairOptions& options = {});

// A file of another list with the listed size and id, on another volume mounted now.
struct Candidate {
  std::string path;  // where it is now
  FileKey key;       // its line in its own list
};

enum class Outcome {
  kSound,  // nothing to mend
  kMended,
  kWouldMend,     // --dry-run
  kChanged,       // the user's edit
  kChanging,      // being written
  kMissingKept,   // missing, and missing files were not asked for
  kNoCopy,        // no candidate proven; `not_proven` says why each failed
  kCopiesDiffer,  // `copy` and `other_copy`, both proven, differ
  kReadOnly,      // its volume is mounted read only
  kFailed,        // the mend failed: `error`
  kStopped,       // told to stop before the file was mended: it is as it was
  kPlaceholder,   // a placeholder, left unread: whether it is damaged is not known
};

// Why a candidate is no proven copy.
enum class Unproven { kUnreadable, kMissing, kSize, kWriteTime, kId, kPlaceholder };

struct NotProven {
  std::string path;
  Unproven why = Unproven::kId;
};

struct FileRepair {
  Damage damage = Damage::kNone;
  Outcome outcome = Outcome::kSound;
  std::string copy;
  std::string other_copy;
  std::string kept;
  std::string error;
  std::vector<NotProven> not_proven;
};

// Decides and, unless a dry run, mends the file at `path` found `damage`d (FindDamage,
// with `now`): the first proven candidate, those last found unchanged first.
FileRepair RepairFile(const std::string& path, const FileKey& key, Damage damage,
                      const FileNow& now, const std::vector<Candidate>& candidates,
                      const RepairOptions& options, MendHistory* history);

}  // namespace repair
