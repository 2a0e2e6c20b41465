// SPDX-License-Identifier: MIT
// The transmitter tick by tick: pulse shape and display, late ticks and clock steps.

#include <algorithm>
#include <cstdio>

#include "tests/decoders.h"

using namespace simulated;

// Ticks that come late, in the middle of a 0 or a 1, or at the start of a second, by less than DCF77's 33 ms: a pulse
// is on at every tick before its grid point, 11 or 21 periods after the tick that began its second, and off at every
// tick from then on.
TEST_F(SimulatedClockTest, LateTicksEndThePulseOnItsGridPoint) {
  const struct {
    int second, length, lateFrom, periodsMissed;
  } kCases[] = {{22, 11, 5, 6}, {22, 11, 3, 10}, {23, 21, 15, 4}, {23, 21, 10, 13}, {24, 11, 0, 3}};
  for (const auto& [second, length, lateFrom, periodsMissed] : kCases) {
    SCOPED_TRACE(testing::Message() << "second " << second << ", " << periodsMissed << " periods late from "
                                    << lateFrom);
    Start();
    const sys_seconds begins = kMinute + seconds{second};
    clock.Now = begins - 1s;
    RunUntil(begins + lateFrom * timecode::kTickPeriod);
    clock.Now += periodsMissed * timecode::kTickPeriod;
    RunUntil(begins + 1s);
    const auto first =
        std::find_if(Ticks().begin(), Ticks().end(), [&](const TickRecord& t) { return t.at >= begins; });
    for (auto tick = first; tick != Ticks().end(); ++tick)
      EXPECT_EQ(tick->on, tick->at - first->at < length * timecode::kTickPeriod) << (tick->at - begins).count();
    EXPECT_EQ(Told(), std::vector<std::string>{}) << "nothing spoiled";
  }
}

// The wall clock set in the middle of a minute, before, inside and after the parity groups, by an hour, a minute and
// three seconds either way: no code sends a frame that a receiver reads as a wrong time, nothing more of that minute
// goes out, and the next minute is whole and right. Told once, with the figure.
TEST_F(SimulatedClockTest, ClockSetMidMinuteNeverSendsAWrongTime) {
  const std::pair<const timecode::TimeCode*, const char*> kCodes[] = {{&timecode::kDcf77, "Europe/Berlin"},
                                                                      {&timecode::kMsf, "Europe/London"},
                                                                      {&timecode::kWwvb, "UTC"},
                                                                      {&timecode::kJjy, "Asia/Tokyo"}};
  for (const auto& [code, zone] : kCodes) {
    ASSERT_TRUE(platform::UseZone(zone));
    Decoders decoders;
    for (const milliseconds step : {milliseconds{1h}, -milliseconds{1h}, milliseconds{1min}, -milliseconds{1min},
                                    milliseconds{3s}, -milliseconds{3s}}) {
      for (const int at : {10, 25, 31, 40, 57}) {
        SCOPED_TRACE(testing::Message() << code->Name << ", set by " << step.count() << " ms in second " << at);
        Start(Unwired(*code));
        clock.Now = kMinute - 3s;
        RunUntil(kMinute + seconds{at} + 50ms);
        clock.Step(step);
        RunUntil(clock.Now + 125s);
        decoders.Minutes(*code, zone, Ticks(), true);
        ASSERT_EQ(Told().size(), 1U);
        EXPECT_TRUE(Told()[0].starts_with("nothing more is sent in this minute: the PC clock was set by "))
            << Told()[0];
      }
    }
  }
}

// A pulse that ends late, as a tick held up that long ends it: 30 ms is within a third of the difference between
// DCF77's 100 and 200 ms, and the minute goes on; later, nothing more of it is sent, so no bit is ever read changed. A
// tick more than a second late, which skips a second, spoils its minute too.
TEST_F(SimulatedClockTest, LatePulseNeverChangesABit) {
  const struct {
    int second;  // 22 carries a 0, 23 a 1
    milliseconds late;
    const char* told;  // nullptr: nothing
  } kCases[] = {{22, 30ms, nullptr},
                {22, 60ms, "a pulse ended 60 ms late"},
                {22, 150ms, "a pulse ended 150 ms late"},
                {23, 60ms, "a pulse ended 60 ms late"},
                {23, 1200ms, "no tick came for 1.220 s"}};
  ASSERT_TRUE(platform::UseZone("Europe/Berlin"));
  Decoders decoders;
  for (const auto& [second, late, told] : kCases) {
    SCOPED_TRACE(testing::Message() << "second " << second << ", " << late.count() << " ms late");
    Start();
    clock.Now = kMinute - 3s;
    const auto due = kMinute + seconds{second} + (second == 22 ? 110ms : 210ms);
    RunUntil(due - timecode::kTickPeriod);
    clock.Now = due + late;
    RunUntil(kMinute + 125s);
    decoders.Minutes(timecode::kDcf77, "Europe/Berlin", Ticks(), true);
    EXPECT_EQ(Told(), told ? std::vector<std::string>{std::string("nothing more is sent in this minute: ") + told +
                                                      "; sending again from the next minute mark"}
                           : std::vector<std::string>{});
  }
}
