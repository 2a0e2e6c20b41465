// SPDX-License-Identifier: MIT
#include <windows.h>

#include <QByteArray>
#include <QTimeZone>
#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/local_clock.h"
#include "platform/steady_clock.h"
#include "platform/zone.h"
#include "timecode/time_code.h"

namespace platform {

namespace {

// The system time counts 100 ns steps from the start of 1601, UTC.
constexpr std::int64_t kStepsPerSecond = 10'000'000;
constexpr std::int64_t kStepsPerTick = kStepsPerSecond / timecode::kTicksPerSecond;
constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;
constexpr std::int64_t kNanosPerSecond = 1'000'000'000, kNanosPerStep = kNanosPerSecond / kStepsPerSecond;

// The zone in use, as the registry describes it: the system's own unless UseZone chose another. It is the process's,
// as TZ is on Linux, set once at start-up before any clock reads it.
struct ChosenZone {
  bool chosen = false;
  DYNAMIC_TIME_ZONE_INFORMATION zone{};
} Chosen;  // NOLINT(cppcoreguidelines-avoid-non-const-global-variables): the process's zone, as TZ is on Linux

// The zone's description in the registry, by its Windows name for the IANA one: Qt carries the table that maps them.
bool FindZone(const char* name, DYNAMIC_TIME_ZONE_INFORMATION& found) {
  const QByteArray windowsId = QTimeZone::ianaIdToWindowsId(QByteArray(name));
  if (windowsId.isEmpty()) return false;
  for (DWORD index = 0; ::EnumDynamicTimeZoneInformation(index, &found) == ERROR_SUCCESS; ++index) {
    if (QString::fromWCharArray(found.TimeZoneKeyName) == QString::fromLatin1(windowsId)) return true;
  }
  return false;
}

std::int64_t StepsOf(const SYSTEMTIME& time) {
  FILETIME file{};
  ::SystemTimeToFileTime(&time, &file);
  return (static_cast<std::int64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

}  // namespace

// Windows knows its zones by names of its own ("W. Europe Standard Time"); the zone's rules then come from the
// registry, as for the system's own zone.
bool ZoneExists(const char* name) {
  DYNAMIC_TIME_ZONE_INFORMATION found{};
  return FindZone(name, found);
}

bool UseZone(const char* name) {
  DYNAMIC_TIME_ZONE_INFORMATION found{};
  if (!FindZone(name, found)) return false;
  Chosen = {true, found};
  return true;
}

// The rules of two years kept: in the last hours of a year a tick converts both now and the hours ahead, which lie in
// the next, and with a single year kept it would read the registry twice at every tick until the new year.
struct ZoneRules {
  DYNAMIC_TIME_ZONE_INFORMATION zone{};
  struct Year {
    int year = 0;
    TIME_ZONE_INFORMATION rules{};
  };
  std::array<Year, 2> known{};
  std::size_t nextToReplace = 0;

  const TIME_ZONE_INFORMATION& For(int year) {
    for (const Year& kept : known) {
      if (kept.year == year) return kept.rules;
    }
    Year& added = known[nextToReplace];
    nextToReplace = (nextToReplace + 1) % known.size();
    added.year = year;
    ::GetTimeZoneInformationForYear(static_cast<USHORT>(year), &zone, &added.rules);
    return added.rules;
  }
};

void ForgetZoneRules::operator()(ZoneRules* rules) const { delete rules; }

KeptZoneRules KeepZoneRules() {
  KeptZoneRules rules(new ZoneRules);
  if (Chosen.chosen) {
    rules->zone = Chosen.zone;
  } else {
    ::GetDynamicTimeZoneInformation(&rules->zone);
  }
  return rules;
}

timecode::LocalTime ZonedTime(std::int64_t unixSeconds, ZoneRules* zone) {
  const std::int64_t utcSteps = (unixSeconds + kSecondsFrom1601To1970) * kStepsPerSecond;
  const FILETIME utcFile{static_cast<DWORD>(utcSteps), static_cast<DWORD>(utcSteps >> 32)};
  SYSTEMTIME utc{}, local{};
  ::FileTimeToSystemTime(&utcFile, &utc);
  const TIME_ZONE_INFORMATION& rules = zone->For(utc.wYear);
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

namespace {

// The precise reading: the plain one moves on only every timer interrupt, some 15.6 ms, so a new second could be seen
// a tick or two late and its pulse start late with it. In 100 ns steps since 1601.
std::int64_t SystemTimeSteps() {
  FILETIME now{};
  ::GetSystemTimePreciseAsFileTime(&now);
  return (static_cast<std::int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

}  // namespace

timecode::ClockReading LocalClock::Read() {
  std::int64_t steps = 0;
  const SteadyBeside steady = ReadBesideSteady([&steps] { steps = SystemTimeSteps(); });
  const std::int64_t second = steps / kStepsPerSecond - kSecondsFrom1601To1970 + offsetSeconds_;
  timecode::ClockReading reading = At(second);
  reading.TickCount += steps % kStepsPerSecond / kStepsPerTick;
  reading.WallNanos = second * kNanosPerSecond + steps % kStepsPerSecond * kNanosPerStep;
  reading.SteadyNanos = steady.nanos;
  reading.SteadyUncertainty = steady.uncertainty;
  return reading;
}

std::int64_t LocalClock::WallNanos() {
  const std::int64_t steps = SystemTimeSteps();
  return (steps / kStepsPerSecond - kSecondsFrom1601To1970 + offsetSeconds_) * kNanosPerSecond +
         steps % kStepsPerSecond * kNanosPerStep;
}

}  // namespace platform
