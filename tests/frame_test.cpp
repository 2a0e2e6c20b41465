// Whole frames as a receiver sees them: the project's strict decoder (tests/end_to_end/harness.py) holds each frame to
// the published rules of the code and to the minute mark that, by Berlin's zone database, ends its minute.

#include <cstdio>
#include <ctime>

#include "tests/simulated_clock.h"

using namespace simulated;

TEST_F(SimulatedClockTest, EveryFrameDecodesToTheComingMinuteMark) {
  const sys_seconds summerDay = sys_days{2025y / June / 30} - 2h;  // Berlin's midnight
  std::vector<sys_seconds> minutes;
  for (sys_seconds minute = summerDay; minute < summerDay + days{1}; minute += 1min) minutes.push_back(minute);
  // Those that end a year, go into and out of a leap day, and start and end summer time (both on a Sunday).
  for (sys_days day : {2026y / December / 31, 2028y / February / 28, 2028y / February / 29})
    minutes.push_back(day + 22h + 59min);
  for (sys_days day : {2026y / March / 29, 2026y / October / 25}) minutes.push_back(day + 59min);

  FILE* decoder = popen("python3 -B " FRAME_DECODER, "w");
  ASSERT_NE(decoder, nullptr);
  for (sys_seconds minute : minutes) {
    if (Now != minute) {  // started anew, in the minute before
      Restart();
      Now = minute - 3s;
    }
    RunUntil(minute + 1min);
    std::fprintf(decoder, "%lld", static_cast<long long>(minute.time_since_epoch().count()));
    for (int ticks : PulseLengths(minute)) std::fprintf(decoder, " %d", ticks);
    std::fputc('\n', decoder);
    Ticks.clear();
  }
  EXPECT_EQ(pclose(decoder), 0);
}

// The year by remainder, so that 2100 is 00 again rather than a tenth decade the frame cannot carry; and the clock
// the program reads is the system's, in its zone.
TEST(Clock, YearWithinTheCenturyAndTheSystemsTime) {
  EXPECT_EQ(timecode::SampleOf({.Year = 1999}).YearBcd, 0x99);
  EXPECT_EQ(timecode::SampleOf({.Year = 2100}).YearBcd, 0x00);
  const std::time_t before = std::time(nullptr);
  const timecode::LocalTime read = platform::ReadLocalClock().Now, then = platform::LocalClockAt(before).Now;
  const int late = ((read.Hour - then.Hour) * 60 + read.Minute - then.Minute) * 60 + read.Second - then.Second;
  EXPECT_TRUE(late == 0 || late == 1) << late;
}
