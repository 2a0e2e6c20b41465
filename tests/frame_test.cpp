// SPDX-License-Identifier: MIT
// Whole frames as a receiver sees them: the project's strict decoder (tests/end_to_end/harness.py) holds each frame to
// the published rules of the code and to the minute mark that, by the zone database, ends its minute, with its
// announcements of summer time and of a leap second.

#include <sys/timex.h>

#include <cstdio>
#include <ctime>
#include <vector>

#include "app/command_line.h"
#include "tests/decoders.h"

using namespace simulated;

namespace {

// Minutes that, with the others below, give every bit of every field a 1 and a 0 in some frame of every code: the
// years' 80 and 40, August's 8, July's 4, the hours' 10 and 4 in every zone, the days of the year 182 (100 + 80 + 2)
// and 239.
const sys_seconds kEveryBit[] = {sys_days{2089y / August / 27} + 18h + 45min,
                                 sys_days{2046y / December / 30} + 23h + 56min,
                                 sys_days{2051y / July / 1} + 5h + 35min};

// What the sound is told of each second ahead, and what the lines send in each second.
struct SoundFed : output::Output {
  struct Second {
    timecode::SecondPattern sent, next;
    std::int64_t starts;  // the next second, on the steady clock
  };
  std::vector<Second> seconds;
  void SecondBegun(const output::BegunSecond& second) override {
    seconds.push_back({second.Pattern, second.Next, second.NextSteadyNanos});
  }
};

}  // namespace

TEST_F(SimulatedClockTest, EveryFrameDecodesToTheComingMinuteMark) {
  struct Run {
    const char* zone;  // for the engine; nullptr: Berlin's by rule, which the decoder reads from the database
    sys_seconds from, to;
    bool kernelLeap = false;  // an ordinary zone's kernel told of a leap second at the end of 2016
  };
  const sys_seconds summerDay = sys_days{2025y / June / 30} - 2h;  // Berlin's midnight
  const auto aroundTheHourBefore = [](const char* zone, sys_seconds change) {
    return Run{zone, change - 62min, change + 2min};
  };
  const sys_seconds leap = sys_days{2017y / January / 1};
  std::vector<Run> runs = {
      // Every minute of an hour that ends a summer day, and the first of each of its hours.
      {nullptr, summerDay - 1h, summerDay + 1min},
      // The minutes that end a year, and go into and out of a leap day.
      {nullptr, sys_days{2026y / December / 31} + 22h + 58min, sys_days{2026y / December / 31} + 23h + 1min},
      {nullptr, sys_days{2028y / February / 28} + 22h + 59min, sys_days{2028y / February / 28} + 23h},
      {nullptr, sys_days{2028y / February / 29} + 22h + 59min, sys_days{2028y / February / 29} + 23h},
      // Summer time begun and ended, in the north, in America and in the south, each with its hour of announcements.
      aroundTheHourBefore(nullptr, sys_days{2026y / March / 29} + 1h),
      aroundTheHourBefore(nullptr, sys_days{2026y / October / 25} + 1h),
      aroundTheHourBefore("America/New_York", sys_days{2026y / March / 8} + 7h),
      aroundTheHourBefore("America/New_York", sys_days{2026y / November / 1} + 6h),
      aroundTheHourBefore("Australia/Sydney", sys_days{2026y / April / 4} + 16h),
      aroundTheHourBefore("Australia/Sydney", sys_days{2026y / October / 3} + 16h),
      // A chosen start, the minute before spring's gap.
      {nullptr, ParseStartTime("2027-03-28 01:58:58").moment, ParseStartTime("2027-03-28 03:01").moment},
      // A leap second and its hour of announcements: in a zone whose clock counts it, 26 before it counted as well;
      // and where the kernel inserts it by showing 23:59:59 UTC twice.
      aroundTheHourBefore("right/Europe/Berlin", leap + 26s),
      {nullptr, leap - 62min, leap + 2min, true},
  };
  for (int hour = 1; hour < 23; ++hour)
    runs.push_back({nullptr, summerDay + hours{hour}, summerDay + hours{hour} + 1min});
  for (const sys_seconds minute : kEveryBit) runs.push_back({nullptr, minute, minute + 2min});

  Decoders decoders;
  for (const Run& run : runs) {
    SetUp();
    clock.Kernel = {};
    if (run.zone != nullptr) {
      ASSERT_TRUE(platform::UseZone(run.zone)) << run.zone;
    }
    clock.Now = run.from - 3s;
    SoundFed fed;
    transmitter->AddOutput(fed);
    if (run.kernelLeap) {
      clock.Kernel = platform::KernelLeapFrom(TIME_ERROR, STA_INS | STA_UNSYNC);  // announced however marked
      RunUntil(leap);
      clock.Step(-1s);
      clock.Kernel = platform::KernelLeapFrom(TIME_OOP, STA_INS);
      RunUntil(leap);
      clock.Kernel = platform::KernelLeapFrom(TIME_WAIT, 0);
    }
    RunUntil(run.to + 1s);
    // The sound is told each second ahead as the lines send it when it comes, a second on the steady clock after the
    // one before, the kernel's repeated 23:59:59 included.
    for (std::size_t at = 1; at < fed.seconds.size(); ++at) {
      ASSERT_EQ(fed.seconds[at - 1].next, fed.seconds[at].sent) << at;
      ASSERT_EQ(fed.seconds[at].starts - fed.seconds[at - 1].starts, 1'000'000'000) << at;
    }
    for (const auto& [begun, seconds] : SentMinutes(Ticks())) {
      // The kernel's clock, which does not count leap seconds, as the zone that counts them, for the decoder.
      const char* zone = run.kernelLeap ? "right/Europe/Berlin" : (run.zone ? run.zone : "Europe/Berlin");
      decoders.Minute(timecode::kDcf77, zone, run.kernelLeap ? begun + (begun < leap ? 26s : 27s) : begun, seconds);
    }
  }
}

// The other codes over the minutes that are hard for each, read by its own strict decoder (tests/end_to_end/codes.py)
// and held to the zone database: a leap year's end (day 366) and its 29 February, the changes of summer time in
// the code's country, a leap second in a zone that counts it, and for JJY the call sign's minutes and the day its
// leap second is first announced, for WWVB the first day of the month that ends in one.
TEST_F(SimulatedClockTest, EveryCodesFramesDecode) {
  using timecode::kJjy, timecode::kMsf, timecode::kWwvb;
  struct Run {
    const timecode::TimeCode* code;
    const char* zone;
    sys_seconds from;
    minutes length = 4min;
  };
  const sys_seconds leap = sys_days{2017y / January / 1} + 26s;  // a right/ zone's count, its leap seconds in it
  const sys_seconds yearEnd = sys_days{2029y / January / 1} - 2min, leapDay = sys_days{2028y / February / 29} - 2min;
  const Run kRuns[] = {
      {&kMsf, "Europe/London", yearEnd},
      {&kMsf, "Europe/London", leapDay},
      {&kMsf, "Europe/London", sys_days{2027y / March / 28} - 2min, 64min},
      {&kMsf, "Europe/London", sys_days{2027y / October / 31} - 2min, 64min},
      {&kMsf, "right/Europe/London", leap - 3min, 5min},
      {&kWwvb, "UTC", yearEnd},
      {&kWwvb, "UTC", leapDay},
      {&kWwvb, "UTC", sys_days{2027y / March / 14} - 2min},
      {&kWwvb, "UTC", sys_days{2027y / March / 15} - 2min},
      {&kWwvb, "UTC", sys_days{2027y / November / 7} - 2min},
      {&kWwvb, "UTC", sys_days{2027y / November / 8} - 2min},
      {&kWwvb, "right/UTC", leap - 3min, 5min},
      {&kWwvb, "right/UTC", sys_days{2016y / December / 1} + 26s - 2min},
      {&kJjy, "Asia/Tokyo", yearEnd - 9h},
      {&kJjy, "Asia/Tokyo", leapDay - 9h},
      {&kJjy, "Asia/Tokyo", sys_days{2027y / June / 1} + 3h + 13min},
      {&kJjy, "Asia/Tokyo", sys_days{2027y / June / 1} + 3h + 43min},
      {&kJjy, "right/Asia/Tokyo", leap - 3min, 5min},
      {&kJjy, "right/Asia/Tokyo", sys_days{2016y / December / 2} + 26s - 2min},
  };
  Decoders decoders;
  std::vector<Run> runs(std::begin(kRuns), std::end(kRuns));
  for (const auto& [code, zone] :
       {std::pair(&kMsf, "Europe/London"), std::pair(&kWwvb, "UTC"), std::pair(&kJjy, "Asia/Tokyo")}) {
    for (const sys_seconds minute : kEveryBit) runs.push_back({code, zone, minute, 3min});
  }
  for (const auto& [code, zone, from, length] : runs) {
    ASSERT_TRUE(platform::UseZone(zone)) << zone;
    Start(Unwired(*code));
    clock.Now = from - 3s;
    RunUntil(from + length + 1s);
    decoders.Minutes(*code, zone, Ticks());
  }
}

// A DCF77 and an MSF transmitter side by side in one process, on one clock, each read right by its own decoder: they
// share nothing but the clock and the process's zone.
TEST_F(SimulatedClockTest, TwoTransmittersSideBySide) {
  ASSERT_TRUE(platform::UseZone("Europe/London"));
  Recorder msfSent(clock);
  Transmitter msf(Unwired(timecode::kMsf), clock, &msfSent, [](platform::Severity, const char*) {});
  clock.Now = sys_days{2027y / March / 28} - 3s;
  for (const auto end = clock.Now + 3min + 4s; clock.Now < end; clock.Now += timecode::kTickPeriod) {
    Tick();
    msf.TimerTick();
  }
  ASSERT_EQ(SentMinutes(Ticks()).size(), 3U);
  ASSERT_EQ(SentMinutes(msfSent.Ticks).size(), 3U);
  Decoders decoders;
  decoders.Minutes(timecode::kDcf77, "Europe/London", Ticks());
  decoders.Minutes(timecode::kMsf, "Europe/London", msfSent.Ticks);
}

// The year by remainder, so that 2100 is 00 again rather than a tenth decade the frame cannot carry.
TEST(Clock, YearWithinTheCentury) {
  EXPECT_EQ(timecode::SampleOf({.Year = 1999}).YearBcd, 0x99);
  EXPECT_EQ(timecode::SampleOf({.Year = 2100}).YearBcd, 0x00);
}
