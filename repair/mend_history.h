#pragma once
// What repair asks of the history of checks, and what it tells it: the last verdict of
// a file, to prefer a copy found unchanged, and each mend, so that the next check of the
// file reads it again.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/files.h"

namespace repair {

// A file's line in a list: its history follows it while these stay the same.
struct FileKey {
  std::string volume;  // the list's volume: serial text and label
  std::string path;    // as the list names it
  uint64_t size = 0;
  uint64_t write_time = 0;  // yyyymmddhhnnss
  std::string id;           // the list's id field, 11 characters
};

// The classes a check gives a file, as verify names them.
enum class LastVerdict { kUnchanged, kTouched, kChanged, kCorrupted, kUnreadable, kMissing };

class MendHistory {
 public:
  virtual ~MendHistory() = default;
  // The verdict of the file's last check; none when it was never checked.
  virtual std::optional<LastVerdict> LastVerdictOf(const FileKey& key) = 0;
  // The file was mended at `time` from the copy at `copy_path`.
  virtual void RecordMend(const FileKey& key, platform::FileTime time,
                          const std::string& copy_path) = 0;
};

// A history that knows no checks and keeps nothing.
class NoMendHistory : public MendHistory {
 public:
  std::optional<LastVerdict> LastVerdictOf(const FileKey&) override { return std::nullopt; }
  void RecordMend(const FileKey&, platform::FileTime, const std::string&) override {}
};

}  // namespace repair
