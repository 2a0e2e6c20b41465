// SPDX-License-Identifier: MIT
// Whole frames as a receiver sees them: the project's strict decoder (tests/end_to_end/harness.py) holds each frame to
// the published rules of the code and to the minute mark that, by the zone database, ends its minute.

#include <cstdio>
#include <ctime>

#include "app/command_line.h"
#include "tests/simulated_clock.h"

using namespace simulated;

TEST_F(SimulatedClockTest, EveryFrameDecodesToTheComingMinuteMark) {
  static constexpr char kBerlin[] = "Europe/Berlin";  // for the engine, as the fixture's rule
  struct Sent {
    sys_seconds minute;
    const char* zone = kBerlin;  // whose database the decoder reads the minute mark from
    seconds length = 1min;
  };
  const sys_seconds summerDay = sys_days{2025y / June / 30} - 2h;  // Berlin's midnight
  std::vector<Sent> minutes;
  for (sys_seconds minute = summerDay; minute < summerDay + days{1}; minute += 1min) minutes.push_back({minute});
  // Those that end a year, go into and out of a leap day, and start and end summer time (both on a Sunday).
  for (sys_days day : {2026y / December / 31, 2028y / February / 28, 2028y / February / 29})
    minutes.push_back({day + 22h + 59min});
  for (sys_days day : {2026y / March / 29, 2026y / October / 25}) minutes.push_back({day + 59min});
  minutes.push_back({ParseStartTime("2027-03-28 01:59").moment});  // a chosen start, the minute before spring's gap
  // A leap second, in a zone whose clock counts it: 61 s long, the 26 leap seconds before it counted as well.
  minutes.push_back({sys_days{2016y / December / 31} + 23h + 59min + 26s, "right/Europe/Berlin", 61s});

  FILE* decoder = popen("python3 -B " FRAME_DECODER, "w");
  ASSERT_NE(decoder, nullptr);
  for (const auto& [minute, zone, length] : minutes) {
    if (Now != minute) {  // started anew, in the minute before
      if (zone != kBerlin) setenv("TZ", zone, 1);
      tzset();
      Restart();
      Now = minute - 3s;
    }
    RunUntil(minute + length);
    std::fprintf(decoder, "%s %lld", zone, static_cast<long long>(minute.time_since_epoch().count()));
    for (int ticks : PulseLengths(minute, length)) std::fprintf(decoder, " %d", ticks);
    std::fputc('\n', decoder);
    for (const TickRecord& tick : Ticks) EXPECT_FALSE(tick.second == minute + length - 1s && tick.beeps) << zone;
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
