// SPDX-License-Identifier: MIT
#include "timecode/time_sample.h"

namespace timecode {

std::uint8_t ToBcd(std::uint8_t value) {
  struct Weight {
    std::uint8_t amount;
    std::uint8_t bit;
  };
  static constexpr Weight kWeights[] = {{80, 0x80}, {40, 0x40}, {20, 0x20}, {10, 0x10},
                                        {8, 0x08},  {4, 0x04},  {2, 0x02}};
  std::uint8_t result = 0;
  for (const Weight& weight : kWeights) {
    if (value >= weight.amount) {
      value = static_cast<std::uint8_t>(value - weight.amount);
      result |= weight.bit;
    }
  }
  if (value == 1) result |= 0x01;
  return result;
}

TimeSample SampleOf(const LocalTime& time) {
  TimeSample sample;
  sample.Second = static_cast<std::uint8_t>(time.Second);
  sample.Minute = static_cast<std::uint8_t>(time.Minute);
  sample.Hour = static_cast<std::uint8_t>(time.Hour);
  sample.Day = static_cast<std::uint8_t>(time.Day);
  sample.Month = static_cast<std::uint8_t>(time.Month);
  // By remainder, so that 2100 is 00 again rather than a tenth "decade" the frame cannot carry.
  sample.Year2 = time.Year % 100;
  sample.WeekDay = static_cast<std::uint8_t>(time.DaysSinceSunday == 0 ? 7 : time.DaysSinceSunday);
  sample.MinuteBcd = ToBcd(sample.Minute);
  sample.HourBcd = ToBcd(sample.Hour);
  sample.DayBcd = ToBcd(sample.Day);
  sample.MonthBcd = ToBcd(sample.Month);
  sample.YearBcd = ToBcd(static_cast<std::uint8_t>(sample.Year2));
  sample.SummerTime = time.SummerTime;
  return sample;
}

}  // namespace timecode
