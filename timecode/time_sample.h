// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "timecode/local_time.h"

namespace timecode {

// The clock fields a frame carries, in binary and, for the fields sent bit by bit, in packed BCD.
struct TimeSample {
  std::uint8_t Second = 0;
  std::uint8_t Minute = 0;
  std::uint8_t Hour = 0;
  std::uint8_t Day = 0;
  std::uint8_t Month = 0;
  std::int32_t Year2 = 0;    // the year within its century, 0 ... 99
  std::uint8_t WeekDay = 0;  // 1 = Monday ... 7 = Sunday
  std::uint8_t MinuteBcd = 0;
  std::uint8_t HourBcd = 0;
  std::uint8_t DayBcd = 0;
  std::uint8_t MonthBcd = 0;
  std::uint8_t YearBcd = 0;
  bool SummerTime = false;
};

// Packed BCD by successive subtraction of the digit weights 80, 40, 20, 10, 8, 4, 2, 1.
// Inputs above 99 are not rejected: 100 gives 0xA0.
std::uint8_t ToBcd(std::uint8_t value);

TimeSample SampleOf(const LocalTime& time);

}  // namespace timecode
