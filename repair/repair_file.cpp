#include "repair/repair_file.h"

#include <algorithm>

#include "catalogue/mounted.h"
#include "platform/file_moves.h"
#include "platform/paths.h"
#include "repair/mend.h"

namespace repair {

namespace {

// Whether the copy read is the listed file: its id read from its own device, its size
// and (unless any time will do) its write time.
bool Proven(const FileKey& key, const FileNow& copy, bool any_time, Unproven* why) {
  if (copy.state == FileState::kMissing) {
    *why = Unproven::kMissing;
  } else if (copy.state == FileState::kPlaceholder) {
    *why = Unproven::kPlaceholder;
  } else if (copy.state != FileState::kRead) {
    *why = Unproven::kUnreadable;
  } else if (copy.info.size != key.size) {
    *why = Unproven::kSize;
  } else if (!any_time && copy.write_time != key.write_time) {
    *why = Unproven::kWriteTime;
  } else if (copy.id != key.id) {
    *why = Unproven::kId;
  } else {
    return true;
  }
  return false;
}

// The proven candidates, those whose last check found them unchanged first.
std::vector<const Candidate*> ProvenCopies(const FileKey& key,
                                           const std::vector<Candidate>& candidates,
                                           const RepairOptions& options, MendHistory* history,
                                           FileRepair* repair) {
  std::vector<const Candidate*> proven;
  for (const Candidate& candidate : candidates) {
    Unproven why;
    const FileNow copy =
        ReadFromDevice(candidate.path, false, options.stop, options.read_placeholders);
    if (Proven(key, copy, options.any_time, &why)) {
      proven.push_back(&candidate);
    } else {
      repair->not_proven.push_back({candidate.path, why});
    }
  }
  std::stable_partition(proven.begin(), proven.end(), [&](const Candidate* candidate) {
    return history->LastVerdictOf(candidate->key) == LastVerdict::kUnchanged;
  });
  return proven;
}

bool Stopped(const RepairOptions& options) {
  return options.stop != nullptr && options.stop->load(std::memory_order_relaxed);
}

std::string FolderOf(const std::string& path) {
  return path.substr(0, path.find_last_of(platform::kSeparators) + 1);
}

// Replaces the file by `repair->copy`, and keeps what came of it in `repair`.
void MendFromCopy(const std::string& path, const FileKey& key, Damage damage, const FileNow& now,
                  const RepairOptions& options, MendHistory* history, FileRepair* repair) {
  MendRequest request;
  request.target = path;
  request.copy = repair->copy;
  request.write_time =
      damage == Damage::kMissing ? FileTimeOfListTime(key.write_time) : now.info.last_write_time;
  request.keep_dir = options.keep_dir;
  request.target_exists = damage != Damage::kMissing;
  request.now = options.now;
  request.stop = options.stop;
  const MendResult mended = Mend(request);
  repair->kept = mended.kept;
  repair->error = mended.error;
  repair->outcome = mended.mended    ? Outcome::kMended
                    : mended.stopped ? Outcome::kStopped
                                     : Outcome::kFailed;
  if (mended.mended) history->RecordMend(key, options.now, repair->copy);
}

}  // namespace

Damage FindDamage(const std::string& path, const FileKey& key, FileNow* now,
                  const RepairOptions& options) {
  *now = ReadFromDevice(path, true);
  if (now->state == FileState::kMissing) return Damage::kMissing;
  if (now->info.size != key.size || now->write_time != key.write_time) return Damage::kChanged;
  *now = ReadFromDevice(path, false, options.stop, options.read_placeholders);
  switch (now->state) {
    case FileState::kPlaceholder:
      return Damage::kPlaceholder;
    case FileState::kMissing:
      return Damage::kMissing;
    case FileState::kUnreadable:
      return Damage::kUnreadable;
    case FileState::kChanging:
      return Damage::kChanging;
    case FileState::kRead:
      break;
  }
  if (now->info.size != key.size || now->write_time != key.write_time) return Damage::kChanged;
  return now->id == key.id ? Damage::kNone : Damage::kCorrupted;
}

FileRepair RepairFile(const std::string& path, const FileKey& key, Damage damage,
                      const FileNow& now, const std::vector<Candidate>& candidates,
                      const RepairOptions& options, MendHistory* history) {
  FileRepair repair;
  repair.damage = damage;
  switch (damage) {
    case Damage::kNone:
      return repair;
    case Damage::kChanged:
      repair.outcome = Outcome::kChanged;
      return repair;
    case Damage::kChanging:
      repair.outcome = Outcome::kChanging;
      return repair;
    case Damage::kPlaceholder:
      repair.outcome = Outcome::kPlaceholder;
      return repair;
    case Damage::kMissing:
      if (options.missing) break;
      repair.outcome = Outcome::kMissingKept;
      return repair;
    case Damage::kCorrupted:
    case Damage::kUnreadable:
      break;
  }
  if (platform::OnReadOnlyMount(FolderOf(path))) {
    repair.outcome = Outcome::kReadOnly;
    return repair;
  }
  if (Stopped(options)) {
    repair.outcome = Outcome::kStopped;
    return repair;
  }
  const std::vector<const Candidate*> proven =
      ProvenCopies(key, candidates, options, history, &repair);
  if (proven.empty()) {
    repair.outcome = Outcome::kNoCopy;
    return repair;
  }
  repair.copy = proven.front()->path;
  for (size_t i = 1; i < proven.size(); ++i) {
    if (catalogue::CompareFiles(repair.copy, proven[i]->path) == catalogue::SameBytes::kDifferent) {
      repair.other_copy = proven[i]->path;
      repair.outcome = Outcome::kCopiesDiffer;
      return repair;
    }
  }
  if (Stopped(options)) {
    repair.outcome = Outcome::kStopped;
    return repair;
  }
  if (options.dry_run) {
    repair.outcome = Outcome::kWouldMend;
    return repair;
  }
  MendFromCopy(path, key, damage, now, options, history, &repair);
  return repair;
}

}  // namespace repair
