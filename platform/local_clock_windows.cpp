#include <windows.h>

#include <cstdint>
#include <ctime>

#include "platform/local_clock.h"

namespace platform {

namespace {

// The system time counts 100 ns steps from the start of 1601, UTC.
constexpr std::int64_t kStepsPerSecond = 10'000'000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;

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

// The C runtime's local time follows TZ where it is set, else the system's time zone and its rules for
// summer time.
timecode::ClockReading LocalClockAt(std::int64_t unixSeconds) {
  const std::time_t now = static_cast<std::time_t>(unixSeconds);
  std::tm local{};
  localtime_s(&local, &now);
  // Counted back from the local seconds rather than rounded in UTC, so zones with odd offsets work too.
  const std::time_t nextMark = now - local.tm_sec + 60;
  std::tm atMark{};
  localtime_s(&atMark, &nextMark);
  return {ToLocalTime(local), ToLocalTime(atMark)};
}

timecode::ClockReading ReadLocalClock() {
  // The precise reading: the plain one moves on only every timer interrupt, some 15.6 ms, so a new
  // second could be seen a tick or two late and its pulse start late with it.
  FILETIME now{};
  ::GetSystemTimePreciseAsFileTime(&now);
  const std::int64_t steps = (static_cast<std::int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return LocalClockAt(steps / kStepsPerSecond - kSecondsFrom1601To1970);
}

}  // namespace platform
