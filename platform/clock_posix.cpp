#include <sys/time.h>
#include <time.h>

#include "platform/clock.h"

namespace platform {

namespace {

constexpr int64_t kEpochDelta = 11644473600LL;  // seconds from 1601 to 1970
constexpr int64_t kUnitsPerSecond = 10000000LL;

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int* y, int* m, int* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t year = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = static_cast<int>(year + (*m <= 2));
}

}  // namespace

uint32_t TickCount() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + ts.tv_nsec / 1000000;
  return static_cast<uint32_t>(ms);
}

namespace {

DateTime LocalFields(time_t seconds, int millisecond) {
  struct tm parts;
  localtime_r(&seconds, &parts);
  DateTime out;
  out.year = parts.tm_year + 1900;
  out.month = parts.tm_mon + 1;
  out.day = parts.tm_mday;
  out.hour = parts.tm_hour;
  out.minute = parts.tm_min;
  out.second = parts.tm_sec;
  out.millisecond = millisecond;
  return out;
}

}  // namespace

bool FileTimeToLocalDateTime(FileTime time, DateTime* out) {
  if (time >= 0x8000000000000000ULL) return false;
  const int64_t seconds = static_cast<int64_t>(time / kUnitsPerSecond) - kEpochDelta;
  *out = LocalFields(static_cast<time_t>(seconds),
                     static_cast<int>(time % kUnitsPerSecond / 10000));
  return true;
}

DateTime NowLocal() {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return LocalFields(ts.tv_sec, static_cast<int>(ts.tv_nsec / 1000000));
}

double NowSerial() {
  const DateTime now = NowLocal();
  // Day 0 is 1899-12-30.
  const int64_t days = DaysFromCivil(now.year, now.month, now.day) - DaysFromCivil(1899, 12, 30);
  const double fraction =
      (now.hour * 3600000.0 + now.minute * 60000.0 + now.second * 1000.0 + now.millisecond) /
      86400000.0;
  return static_cast<double>(days) + fraction;
}

FileTime NowFileTime() {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<FileTime>((ts.tv_sec + kEpochDelta) * kUnitsPerSecond + ts.tv_nsec / 100);
}

bool FileTimeToDateTime(FileTime time, DateTime* out) {
  // The system's own limit for converting a file time: the top bit must be clear.
  if (time >= 0x8000000000000000ULL) return false;
  const int64_t total_ms = static_cast<int64_t>(time / 10000);
  const int64_t days_since_1601 = total_ms / 86400000;
  const int64_t ms_of_day = total_ms % 86400000;
  CivilFromDays(days_since_1601 + DaysFromCivil(1601, 1, 1), &out->year, &out->month, &out->day);
  out->hour = static_cast<int>(ms_of_day / 3600000);
  out->minute = static_cast<int>(ms_of_day / 60000 % 60);
  out->second = static_cast<int>(ms_of_day / 1000 % 60);
  out->millisecond = static_cast<int>(ms_of_day % 1000);
  return true;
}

}  // namespace platform

namespace platform {

FileTime DateTimeToFileTime(const DateTime& utc) {
  const int64_t days = DaysFromCivil(utc.year, static_cast<unsigned>(utc.month),
                                     static_cast<unsigned>(utc.day));
  const int64_t seconds = days * 86400 + utc.hour * 3600 + utc.minute * 60 + utc.second;
  return static_cast<FileTime>((seconds + kEpochDelta) * kUnitsPerSecond +
                               int64_t{utc.millisecond} * 10000);
}

}  // namespace platform
