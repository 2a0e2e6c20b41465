// SPDX-License-Identifier: MIT
#include <windows.h>

#include <QByteArray>
#include <QTimeZone>
#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/local_clock.h"
#include "platform/zone.h"
#include "timecode/time_code.h"

namespace platform {

namespace {

// The system time counts 100 ns steps from the start of 1601, UTC.
constexpr std::int64_t kStepsPerSecond = 10'000'000;
constexpr std::int64_t kStepsPerTick = kStepsPerSecond / timecode::kTicksPerSecond;
constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;

// The zone in use, as the registry describes it: the system's own unless UseZone chose another. Its rules for a
// year are looked up once, when the year is first converted, and kept: the conversion then touches no registry.
DYNAMIC_TIME_ZONE_INFORMATION Zone{};
bool ZoneRead = false;

// Two years kept: in the last hours of a year a tick converts both now and the hours ahead, which lie in the next,
// and with a single year kept it would read the registry twice at every tick until the new year.
struct YearRules {
  int year = 0;
  TIME_ZONE_INFORMATION rules{};
};
std::array<YearRules, 2> KnownYears{};
std::size_t NextToReplace = 0;

const TIME_ZONE_INFORMATION& RulesFor(int year) {
  if (!ZoneRead) {
    ::GetDynamicTimeZoneInformation(&Zone);
    ZoneRead = true;
  }
  for (const YearRules& known : KnownYears) {
    if (known.year == year) return known.rules;
  }
  YearRules& added = KnownYears[NextToReplace];
  NextToReplace = (NextToReplace + 1) % KnownYears.size();
  added.year = year;
  ::GetTimeZoneInformationForYear(static_cast<USHORT>(year), &Zone, &added.rules);
  return added.rules;
}

std::int64_t StepsOf(const SYSTEMTIME& time) {
  FILETIME file{};
  ::SystemTimeToFileTime(&time, &file);
  return (static_cast<std::int64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

}  // namespace

// Windows knows its zones by names of its own ("W. Europe Standard Time"); Qt carries the table that maps the
// IANA names to them. The zone's rules then come from the registry, as for the system's own zone.
bool UseZone(const char* name) {
  const QByteArray windowsId = QTimeZone::ianaIdToWindowsId(QByteArray(name));
  if (windowsId.isEmpty()) return false;
  DYNAMIC_TIME_ZONE_INFORMATION candidate{};
  for (DWORD index = 0; ::EnumDynamicTimeZoneInformation(index, &candidate) == ERROR_SUCCESS; ++index) {
    if (QString::fromWCharArray(candidate.TimeZoneKeyName) == QString::fromLatin1(windowsId)) {
      Zone = candidate;
      ZoneRead = true;
      KnownYears = {};
      return true;
    }
  }
  return false;
}

timecode::LocalTime ZonedTime(std::int64_t unixSeconds) {
  const std::int64_t utcSteps = (unixSeconds + kSecondsFrom1601To1970) * kStepsPerSecond;
  const FILETIME utcFile{static_cast<DWORD>(utcSteps), static_cast<DWORD>(utcSteps >> 32)};
  SYSTEMTIME utc{}, local{};
  ::FileTimeToSystemTime(&utcFile, &utc);
  const TIME_ZONE_INFORMATION& rules = RulesFor(utc.wYear);
  ::SystemTimeToTzSpecificLocalTime(&rules, &utc, &local);
  const auto offset = static_cast<int>((StepsOf(local) - utcSteps) / kStepsPerSecond);
  // Bias counts minutes west of UTC; a zone without summer time has no daylight date.
  const int standardOffset = -static_cast<int>(rules.Bias + rules.StandardBias) * 60;
  return {.Year = local.wYear,
          .Month = local.wMonth,
          .Day = local.wDay,
          .Hour = local.wHour,
          .Minute = local.wMinute,
          .Second = local.wSecond,
          .DaysSinceSunday = local.wDayOfWeek,
          .SummerTime = rules.DaylightDate.wMonth != 0 && offset != standardOffset,
          .UtcOffsetSeconds = offset};
}

// Windows' clock does not count leap seconds in the way the zone database's right/ zones do.
std::int64_t SecondsToCountedLeapSecond(std::int64_t) { return timecode::kNothingAhead; }

timecode::ClockReading ReadLocalClock() {
  // The precise reading: the plain one moves on only every timer interrupt, some 15.6 ms, so a new
  // second could be seen a tick or two late and its pulse start late with it.
  FILETIME now{};
  ::GetSystemTimePreciseAsFileTime(&now);
  const std::int64_t steps = (static_cast<std::int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  timecode::ClockReading reading = LocalClockAt(steps / kStepsPerSecond - kSecondsFrom1601To1970 + ClockOffsetSeconds);
  reading.TickCount += steps % kStepsPerSecond / kStepsPerTick;
  return reading;
}

}  // namespace platform
