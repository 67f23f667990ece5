#pragma once
// A damaged file replaced by a proven copy so that a kill at any moment leaves either
// the damaged file or the mended one under its name, never a part of either.

#include <atomic>
#include <string>

#include "platform/files.h"

namespace repair {

// The points of a mend a test may stop the process at.
enum class MendStep {
  kWritten,  // the temporary holds the copy's bytes, not yet flushed
  kFlushed,  // the temporary is on the disk
  kKept,     // the damaged file is kept under its other name, the temporary not renamed
  kRenamed,  // the mended file has the name, its folder not yet flushed
};
using MendHook = void (*)(MendStep step);
void SetMendHookForTesting(MendHook hook);

struct MendRequest {
  std::string target;  // the damaged file (or where a missing one was)
  std::string copy;    // the proven copy
  platform::FileTime write_time = 0;
  // Where the damaged file is kept: empty, a hard link beside it; else a copy in this
  // folder (ending with "/"), for a folder on another file system.
  std::string keep_dir;
  bool target_exists = true;   // false: mode, owner and attributes come from the copy
  platform::FileTime now = 0;  // names the kept file
  // Set when the mend is to stop: tested between buffers and before the rename.
  const std::atomic<bool>* stop = nullptr;
};

struct MendResult {
  bool mended = false;
  std::string kept;   // the damaged file's other name, when kept
  std::string error;  // when not mended: what failed (the name holds what it held)
  bool stopped = false;  // told to stop before the rename: nothing changed
};

// The copy written to a temporary beside the target and flushed, the damaged file kept,
// the temporary renamed over the target, the folder flushed.
MendResult Mend(const MendRequest& request);

// "NAME.damaged-yyyymmdd-hhmmss" of the local time `now`.
std::string KeptName(const std::string& name, platform::FileTime now);

}  // namespace repair
