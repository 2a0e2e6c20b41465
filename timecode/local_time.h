// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// A moment of the PC's local clock, broken down the way the C library does it.
// Filled by the platform's clock; everything else reads it as plain data.

namespace timecode {

struct LocalTime {
  int Year = 0;              // full year, e.g. 2026
  int Month = 0;             // 1 = January ... 12
  int Day = 0;               // day of the month, 1 ... 31
  int Hour = 0;              // 0 ... 23
  int Minute = 0;            // 0 ... 59
  int Second = 0;            // 0 ... 59, or 60 during a leap second
  int DaysSinceSunday = 0;   // 0 = Sunday ... 6 = Saturday
  bool SummerTime = false;   // daylight-saving time is in effect
  int UtcOffsetSeconds = 0;  // local time less UTC
  char Zone[8] = {};         // the zone's abbreviation, such as CEST, where the system has one
};

inline constexpr std::int64_t kNothingAhead = -1;

// One reading of the clock, converted twice: as the PC shows it now, and as it will show it at the
// minute mark that ends the current minute. A time-code frame describes that coming minute mark.
struct ClockReading {
  LocalTime Now;
  LocalTime NextMinuteMark;
  // 61 in a minute that an inserted leap second lengthens: its clock then shows second 60 before the coming
  // minute mark. 59 in one that a deleted leap second shortens, which ends after second 58.
  int SecondsInMinute = 60;
  // The clock in whole tick periods since the Unix epoch: two readings tell how many periods lie between them,
  // however few ticks were delivered.
  std::int64_t TickCount = 0;
  // The wall clock as read, in nanoseconds since the Unix epoch, and the steady clock read with it: their difference
  // moves only when the wall clock is set. Both 0 for a moment converted rather than read.
  std::int64_t WallNanos = 0;
  std::int64_t SteadyNanos = 0;
  std::int64_t SteadyUncertainty = 0;  // ns: how far from the wall clock's moment the steady clock may have been read
  // Seconds from the coming minute mark to the next change of the zone's offset from UTC (summer time
  // beginning or ending), and to the minute mark that ends the next minute with a leap second; kNothingAhead
  // when none is known within the clock's look-ahead (a few hours for the zone, the rest of the next UTC month
  // for a leap second).
  std::int64_t SecondsToZoneChange = kNothingAhead;
  std::int64_t SecondsToLeapSecond = kNothingAhead;
};

}  // namespace timecode
