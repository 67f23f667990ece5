#include "repair/mend.h"

#include <cstdio>

#include "platform/clock.h"
#include "platform/file_moves.h"
#include "platform/paths.h"

namespace repair {

namespace {

MendHook g_hook = nullptr;

void Reached(MendStep step) {
  if (g_hook != nullptr) g_hook(step);
}

std::string Folder(const std::string& path) {
  return path.substr(0, path.find_last_of(platform::kSeparators) + 1);
}
std::string Name(const std::string& path) {
  return path.substr(path.find_last_of(platform::kSeparators) + 1);
}

bool Stopped(const MendRequest& request) {
  return request.stop != nullptr && request.stop->load(std::memory_order_relaxed);
}

// Writes the copy's bytes into the new file `temporary`, its record and write time, and
// flushes it.
bool WriteTemporary(const MendRequest& request, const std::string& temporary, std::string* error) {
  platform::File in;
  if (!in.Open(request.copy, platform::OpenMode::kRead)) {
    *error = "cannot open " + request.copy + ": " + in.ErrorText();
    return false;
  }
  platform::File out;
  if (!out.Open(temporary, platform::OpenMode::kCreateTruncate)) {
    *error = "cannot create " + temporary + ": " + out.ErrorText();
    return false;
  }
  std::string buffer(1 << 20, '\0');
  for (;;) {
    if (Stopped(request)) return false;
    const int64_t got = in.Read(buffer.data(), buffer.size());
    if (got < 0) {
      *error = "cannot read " + request.copy + ": " + in.ErrorText();
      return false;
    }
    if (got == 0) break;
    if (!out.Write(buffer.data(), static_cast<size_t>(got))) {
      *error = "cannot write " + temporary + ": " + out.ErrorText();
      return false;
    }
  }
  Reached(MendStep::kWritten);
  const std::string& record = request.target_exists ? request.target : request.copy;
  if (!platform::CopyFileRecord(record, temporary, error) ||
      !platform::SetWriteTime(temporary, request.write_time, error)) {
    return false;
  }
  if (!out.Sync() || !out.Close()) {
    *error = "cannot flush " + temporary + ": " + out.ErrorText();
    return false;
  }
  Reached(MendStep::kFlushed);
  return true;
}

// Keeps the damaged file under its other name; false with `error` when it cannot.
bool Keep(const MendRequest& request, std::string* kept, std::string* error) {
  const std::string name = KeptName(Name(request.target), request.now);
  if (request.keep_dir.empty()) {
    *kept = Folder(request.target) + name;
    return platform::LinkFile(request.target, *kept, error);
  }
  *kept = request.keep_dir + name;
  std::string why;
  switch (platform::CopyToNewFile(request.target, *kept, &why)) {
    case platform::CopyResult::kCopied:
      return true;
    case platform::CopyResult::kExists:
      *error = "cannot keep the damaged file: " + *kept + " exists";
      return false;
    case platform::CopyResult::kFailed:
      break;
  }
  *error = "cannot keep the damaged file as " + *kept + ": " + why;
  return false;
}

}  // namespace

void SetMendHookForTesting(MendHook hook) { g_hook = hook; }

std::string KeptName(const std::string& name, platform::FileTime now) {
  platform::DateTime time;
  platform::FileTimeToLocalDateTime(now, &time);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, ".damaged-%04d%02d%02d-%02d%02d%02d", time.year, time.month,
                time.day, time.hour, time.minute, time.second);
  return name + stamp;
}

MendResult Mend(const MendRequest& request) {
  MendResult result;
  const std::string folder = Folder(request.target);
  // Hidden, in the same folder, so the rename stays within one file system.
  const std::string temporary = folder + "." + Name(request.target) + ".checker-mend";
  platform::RemoveFile(temporary);  // left by a mend that was killed
  // Up to the rename the name holds the damaged file: a stop until then undoes the rest.
  if (!WriteTemporary(request, temporary, &result.error) || Stopped(request)) {
    platform::RemoveFile(temporary);
    result.stopped = Stopped(request);
    return result;
  }
  if (request.target_exists && !Keep(request, &result.kept, &result.error)) {
    platform::RemoveFile(temporary);
    result.kept.clear();
    return result;
  }
  Reached(MendStep::kKept);
  if (Stopped(request) || !platform::RenameOver(temporary, request.target, &result.error)) {
    platform::RemoveFile(temporary);
    result.stopped = Stopped(request);
    const bool undo_keep = request.keep_dir.empty() || result.stopped;
    if (undo_keep && !result.kept.empty()) platform::RemoveFile(result.kept);
    result.kept.clear();
    return result;
  }
  Reached(MendStep::kRenamed);
  std::string error;
  if (!platform::SyncFolder(folder, &error)) {
    // The name holds the mended file already; only its lasting through a power cut waits.
    result.error = error;
  }
  result.mended = true;
  return result;
}

}  // namespace repair
