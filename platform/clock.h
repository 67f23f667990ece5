#pragma once
// Time: monotonic ticks, wall-clock dates and file-time conversion.

#include <cstdint>

#include "platform/files.h"

namespace platform {

// Milliseconds from a monotonic clock, truncated to 32 bits like a tick count.
uint32_t TickCount();

struct DateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The local wall-clock time.
DateTime NowLocal();
// Now as a day count since 1899-12-30 (local time), the fraction being the time of day.
double NowSerial();
FileTime NowFileTime();
// UTC calendar fields of a file time; false when it cannot be converted.
bool FileTimeToDateTime(FileTime time, DateTime* out);
// The same in local time.
bool FileTimeToLocalDateTime(FileTime time, DateTime* out);
// The file time of UTC calendar fields (the inverse of FileTimeToDateTime).
FileTime DateTimeToFileTime(const DateTime& utc);

// File times count 100 ns units from 1601; Unix seconds count from 1970.
inline constexpr int64_t kFileTimeUnitsPerSecond = 10000000LL;
inline constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
inline constexpr int64_t UnixSecondsOf(FileTime time) {
  return static_cast<int64_t>(time / kFileTimeUnitsPerSecond) - kSecondsFrom1601To1970;
}
inline constexpr FileTime FileTimeOfUnixSeconds(int64_t seconds) {
  return static_cast<FileTime>((seconds + kSecondsFrom1601To1970) * kFileTimeUnitsPerSecond);
}

}  // namespace platform
