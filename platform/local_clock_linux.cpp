#include "platform/local_clock.h"

#include <time.h>

namespace platform {

namespace {

timecode::LocalTime ToLocalTime(const struct tm& tm) {
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
  const time_t now = static_cast<time_t>(unixSeconds);
  struct tm local {};
  localtime_r(&now, &local);
  // Counted back from the local seconds rather than rounded in UTC, so zones with odd offsets work too.
  const time_t nextMark = now - local.tm_sec + 60;
  struct tm atMark {};
  localtime_r(&nextMark, &atMark);
  return {ToLocalTime(local), ToLocalTime(atMark)};
}

timecode::ClockReading ReadLocalClock() {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  return LocalClockAt(now.tv_sec);
}

}  // namespace platform
