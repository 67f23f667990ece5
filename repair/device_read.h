#pragma once
// One file as its device holds it now: looked up and read past the page cache, as
// verify reads it, and its id field and write time as a list would write them.

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/files.h"

namespace repair {

enum class FileState {
  kRead,         // read to its end: `id` holds its id field
  kMissing,      // nothing (or no regular file) under the name
  kUnreadable,   // there, but it cannot be opened or read to its end
  kChanging,     // it changed while it was read, or is still being written
  kPlaceholder,  // its data is not on this disk (a cloud placeholder): left unopened
};

struct FileNow {
  FileState state = FileState::kMissing;
  platform::FileInfo info;  // kRead, kUnreadable, kChanging
  uint64_t write_time = 0;  // info's write time as yyyymmddhhnnss
  std::string id;           // the 11 characters after "F  " of its list line
  std::string error;        // the system's text, for kUnreadable and kChanging
};

// Looks `path` up and, unless `look_only`, reads it from its device; a read `stop`ped
// midway is unreadable. A placeholder is read only when `read_placeholders`: even an open
// of one may fetch its data.
FileNow ReadFromDevice(const std::string& path, bool look_only = false,
                       const std::atomic<bool>* stop = nullptr, bool read_placeholders = false);

// A file time (UTC) as a list's write time, yyyymmddhhnnss; 0 when it cannot be shown.
uint64_t ListWriteTime(platform::FileTime time);
// And back: the file time of a list's write time.
platform::FileTime FileTimeOfListTime(uint64_t write_time);

}  // namespace repair
