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

}  // namespace platform
