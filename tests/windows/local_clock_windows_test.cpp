#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <tuple>

#include "platform/local_clock.h"

namespace {

using timecode::LocalTime;

auto Fields(const LocalTime& t) {
  return std::tuple(t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second, t.DaysSinceSunday, t.SummerTime);
}

struct Conversion {
  std::int64_t unixSeconds;
  LocalTime now, nextMinuteMark;
};

// The C runtime takes its zone from TZ where it is set, else from the system; an empty TZ removes it.
void ExpectConversionsIn(const char* tz, std::initializer_list<Conversion> conversions) {
  _putenv_s("TZ", tz);
  _tzset();
  for (const Conversion& c : conversions) {
    SCOPED_TRACE(testing::Message() << "TZ=\"" << tz << "\" at " << c.unixSeconds);
    const timecode::ClockReading reading = platform::LocalClockAt(c.unixSeconds);
    EXPECT_EQ(Fields(reading.Now), Fields(c.now));
    EXPECT_EQ(Fields(reading.NextMinuteMark), Fields(c.nextMinuteMark));
  }
}

TEST(LocalClockWindows, FixedOffsets) {
  // An offset with seconds in it: the minute mark is counted in local seconds, not rounded in UTC.
  ExpectConversionsIn("LMT-0:53:28",
                      {{1774745970, {2026, 3, 29, 1, 52, 58, 0, false}, {2026, 3, 29, 1, 53, 0, 0, false}}});
  // West of Greenwich, the last minute of a year.
  ExpectConversionsIn("EST5", {{1798779570, {2026, 12, 31, 23, 59, 30, 4, false}, {2027, 1, 1, 0, 0, 0, 5, false}}});
}

// Wine's C runtime leaves out summer time in a zone taken from TZ, but keeps it in the system's zone,
// which the check script makes central European time.
TEST(LocalClockWindows, SummerTimeBeginsAndEndsAtTheMinuteMark) {
  TIME_ZONE_INFORMATION zone{};
  ::GetTimeZoneInformation(&zone);
  if (zone.Bias != -60 || zone.DaylightDate.wMonth != 3 || zone.StandardDate.wMonth != 10)
    GTEST_SKIP() << "the system's time zone is not central European time";
  ExpectConversionsIn("", {
                              {1774745970, {2026, 3, 29, 1, 59, 30, 0, false}, {2026, 3, 29, 3, 0, 0, 0, true}},
                              {1792889970, {2026, 10, 25, 2, 59, 30, 0, true}, {2026, 10, 25, 2, 0, 0, 0, false}},
                          });
}

// Against the C runtime's own clock, which may lag the precise one by a timer interrupt.
TEST(LocalClockWindows, ReadsTheSystemClock) {
  const std::time_t before = std::time(nullptr);
  const timecode::ClockReading reading = platform::ReadLocalClock();
  const std::time_t after = std::time(nullptr);
  bool matched = false;
  for (std::time_t t = before; t <= after + 1; ++t)
    matched |= Fields(platform::LocalClockAt(t).Now) == Fields(reading.Now);
  EXPECT_TRUE(matched) << "read " << testing::PrintToString(Fields(reading.Now)) << ", the C runtime had " << before;
}

}  // namespace
