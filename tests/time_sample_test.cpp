#include <gtest/gtest.h>

#include <utility>

#include "timecode/time_sample.h"

namespace {

TEST(ToBcd, PacksTwoDecimalDigits) {
  const std::pair<int, int> kCases[] = {{0, 0x00}, {7, 0x07}, {10, 0x10}, {59, 0x59}, {99, 0x99}, {100, 0xA0}};
  for (auto [value, bcd] : kCases) EXPECT_EQ(timecode::ToBcd(value), bcd) << value;
}

TEST(SampleOf, CountsWeekdaysFromMondayAndYearsWithinTheCentury) {
  struct Case {
    int year, daysSinceSunday;
    int weekDay, year2, yearBcd;
  };
  const Case kCases[] = {{2000, 0, 7, 0, 0x00}, {1999, 1, 1, 99, 0x99}, {2003, 6, 6, 3, 0x03}, {2100, 5, 5, 0, 0x00}};
  for (const Case& c : kCases) {
    const timecode::TimeSample sample = timecode::SampleOf({.Year = c.year, .DaysSinceSunday = c.daysSinceSunday});
    EXPECT_EQ(sample.WeekDay, c.weekDay) << c.daysSinceSunday;
    EXPECT_EQ(sample.Year2, c.year2) << c.year;
    EXPECT_EQ(sample.YearBcd, c.yearBcd) << c.year;
  }
}

}  // namespace
