#pragma once
// The find-data record: what the file system tells about one path.

#include <cstdint>
#include <string>

#include "platform/files.h"

namespace support {

struct FindData {
  uint32_t attributes = 0;
  platform::FileTime creation_time = 0;
  platform::FileTime last_access_time = 0;
  platform::FileTime last_write_time = 0;
  uint64_t size = 0;  // one 64-bit value, low word first in memory
  std::string name;   // the entry's name without directory
  std::string short_name;  // the alternate 8.3 name; empty when there is none
};

// Copies the metadata of a platform lookup into the record (name left as it is).
inline void AssignFileInfo(const platform::FileInfo& info, FindData* record) {
  record->attributes = info.attributes;
  record->creation_time = info.creation_time;
  record->last_access_time = info.last_access_time;
  record->last_write_time = info.last_write_time;
  record->size = info.size;
}

}  // namespace support
