#include <windows.h>

#include "platform/clock.h"

namespace platform {

namespace {

// Days from 1601-01-01, where file times start, to 1899-12-30, where serial dates do.
constexpr double kSerialDayOf1601 = -109205.0;
constexpr double kUnitsPerDay = 864000000000.0;

FileTime FromFileTime(const FILETIME& time) {
  return (static_cast<FileTime>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME ToFileTime(FileTime time) {
  FILETIME out;
  out.dwLowDateTime = static_cast<DWORD>(time);
  out.dwHighDateTime = static_cast<DWORD>(time >> 32);
  return out;
}

DateTime FromSystemTime(const SYSTEMTIME& time) {
  DateTime out;
  out.year = time.wYear;
  out.month = time.wMonth;
  out.day = time.wDay;
  out.hour = time.wHour;
  out.minute = time.wMinute;
  out.second = time.wSecond;
  out.millisecond = time.wMilliseconds;
  return out;
}

}  // namespace

uint32_t TickCount() { return static_cast<uint32_t>(GetTickCount64()); }

DateTime NowLocal() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return FromSystemTime(now);
}

double NowSerial() {
  FILETIME local;
  const FILETIME utc = ToFileTime(NowFileTime());
  if (!FileTimeToLocalFileTime(&utc, &local)) local = utc;
  return static_cast<double>(FromFileTime(local)) / kUnitsPerDay + kSerialDayOf1601;
}

FileTime NowFileTime() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  return FromFileTime(now);
}

bool FileTimeToDateTime(FileTime time, DateTime* out) {
  const FILETIME in = ToFileTime(time);
  SYSTEMTIME fields;
  if (!FileTimeToSystemTime(&in, &fields)) return false;
  *out = FromSystemTime(fields);
  return true;
}

bool FileTimeToLocalDateTime(FileTime time, DateTime* out) {
  const FILETIME in = ToFileTime(time);
  SYSTEMTIME utc, local;
  // The zone rules of that date, not today's offset.
  if (!FileTimeToSystemTime(&in, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    return false;
  }
  *out = FromSystemTime(local);
  return true;
}

FileTime DateTimeToFileTime(const DateTime& utc) {
  SYSTEMTIME fields = {};
  fields.wYear = static_cast<WORD>(utc.year);
  fields.wMonth = static_cast<WORD>(utc.month);
  fields.wDay = static_cast<WORD>(utc.day);
  fields.wHour = static_cast<WORD>(utc.hour);
  fields.wMinute = static_cast<WORD>(utc.minute);
  fields.wSecond = static_cast<WORD>(utc.second);
  fields.wMilliseconds = static_cast<WORD>(utc.millisecond);
  FILETIME out;
  // Fields no calendar holds give the start of the count, as a time never written.
  return SystemTimeToFileTime(&fields, &out) ? FromFileTime(out) : 0;
}

}  // namespace platform
