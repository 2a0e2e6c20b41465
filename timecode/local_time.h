// SPDX-License-Identifier: MIT
#pragma once

// A moment of the PC's local clock, broken down the way the C library does it.
// Filled by the platform's clock; everything else reads it as plain data.

namespace timecode {

struct LocalTime {
  int Year = 0;             // full year, e.g. 2026
  int Month = 0;            // 1 = January ... 12
  int Day = 0;              // day of the month, 1 ... 31
  int Hour = 0;             // 0 ... 23
  int Minute = 0;           // 0 ... 59
  int Second = 0;           // 0 ... 59, or 60 during a leap second
  int DaysSinceSunday = 0;  // 0 = Sunday ... 6 = Saturday
  bool SummerTime = false;  // daylight-saving time is in effect
};

// One reading of the clock, converted twice: as the PC shows it now, and as it will show it at the
// minute mark that ends the current minute. A time-code frame describes that coming minute mark.
struct ClockReading {
  LocalTime Now;
  LocalTime NextMinuteMark;
  // 61 in a minute that a leap second lengthens, where the zone counts leap seconds: its clock then
  // shows second 60 before the coming minute mark.
  int SecondsInMinute = 60;
};

}  // namespace timecode
