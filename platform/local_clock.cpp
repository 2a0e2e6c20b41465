// SPDX-License-Identifier: MIT
#include "platform/local_clock.h"

#include <ctime>

namespace platform {

std::int64_t ClockOffsetSeconds = 0;

namespace {

// The C library's local time: the process's time zone, its summer time included.
std::tm LocalTm(std::time_t moment) {
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &moment);
#else
  localtime_r(&moment, &local);
#endif
  return local;
}

timecode::LocalTime ToLocalTime(const std::tm& tm) {
  timecode::LocalTime time;
  time.Year = tm.tm_year + 1900;
  time.Month = tm.tm_mon + 1;
  time.Day = tm.tm_mday;
  time.Hour = tm.tm_hour;
  time.Minute = tm.tm_min;
  time.Second = tm.tm_sec;
  time.DaysSinceSunday = tm.tm_wday;
  time.SummerTime = tm.tm_isdst > 0;
  return time;
}

}  // namespace

timecode::ClockReading LocalClockAt(std::int64_t unixSeconds) {
  const auto now = static_cast<std::time_t>(unixSeconds);
  const std::tm local = LocalTm(now);
  // Counted back from the local seconds rather than rounded in UTC, so zones with odd offsets work too.
  const std::time_t minuteStart = now - local.tm_sec;
  // A zone that counts leap seconds shows second 60 where one is inserted: the minute mark comes a second later.
  std::tm mark = LocalTm(minuteStart + 60);
  const int secondsInMinute = mark.tm_sec == 60 ? 61 : 60;
  if (secondsInMinute == 61) mark = LocalTm(minuteStart + 61);
  return {ToLocalTime(local), ToLocalTime(mark), secondsInMinute};
}

}  // namespace platform
