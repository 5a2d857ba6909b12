// The system clock on Windows: the UTC time of the system turned into local
// time by the zone rules (SystemTimeToTzSpecificLocalTime), so the offset is
// the difference of the two at the same instant.
#include <windows.h>

#include "framework/core/Clock.h"

namespace tempolog {
namespace {

// 100-nanosecond units between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kEpochDifference = 116444736000000000;

std::int64_t Units(const SYSTEMTIME& st) {
  FILETIME ft{};
  SystemTimeToFileTime(&st, &ft);
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) |
                                   ft.dwLowDateTime);
}

ZonedTime Zoned(const FILETIME& utc) {
  SYSTEMTIME utcTime{}, local{};
  FileTimeToSystemTime(&utc, &utcTime);
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &local)) local = utcTime;
  const auto offset = static_cast<int>((Units(local) - Units(utcTime)) / 10000000);
  return {LocalTime{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute,
                    local.wSecond, local.wMilliseconds},
          offset};
}

}  // namespace

ZonedTime SystemNowZoned() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return Zoned(now);
}

LocalTime SystemNow() { return SystemNowZoned().local; }

int UtcOffsetAt(std::int64_t utcSeconds) {
  const auto units = static_cast<std::uint64_t>(utcSeconds * 10000000 + kEpochDifference);
  FILETIME ft{static_cast<DWORD>(units & 0xFFFFFFFFu), static_cast<DWORD>(units >> 32)};
  return Zoned(ft).utcOffsetSeconds;
}

}  // namespace tempolog
