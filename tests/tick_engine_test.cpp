// SPDX-License-Identifier: MIT
// The transmitter tick by tick: pulse shape and display, late ticks and clock steps.

#include <algorithm>

#include "tests/simulated_clock.h"

using namespace simulated;

// A pulse begins each second but 59 and is on for its 11 or 21 ticks, then off; the display changes once a second.
TEST_F(SimulatedClockTest, EverySecondOfAMinuteTickByTick) {
  clock.Now = kMinute - 1s;  // second s of kMinute then begins at tick 100 (s + 1)
  RunUntil(kMinute + 1min);
  for (int second = 0; second < 60; ++second) {
    const TickRecord* tick = &Ticks()[static_cast<std::size_t>(second + 1) * kTicksPerSecond];
    int length = 0;
    while (length < kTicksPerSecond && tick[length].on) ++length;
    const bool mark = second == 59;
    EXPECT_TRUE((length == 11 || length == 21) != mark) << "second " << second << ": " << length;
    for (int t = 0; t < kTicksPerSecond; ++t)
      ASSERT_EQ(tick[t], (TickRecord{tick[t].at, t < length, t == 0 ? second : -1}))
          << "second " << second << ", tick " << t;
  }
}

// Ticks that come late, in the middle of a 0 or a 1, or at the start of a second: a pulse is on at every tick before
// its grid point, 11 or 21 periods after the tick that began its second, and off at every tick from then on.
TEST_F(SimulatedClockTest, LateTicksEndThePulseOnItsGridPoint) {
  const struct {
    int second, length, lateFrom, periodsMissed;
  } kCases[] = {{22, 11, 5, 6}, {22, 11, 3, 12}, {23, 21, 15, 4}, {23, 21, 10, 30}, {24, 11, 0, 3}, {23, 21, 0, 8}};
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
  }
}

// A tick a second late skips a second, which is neither sent nor counted, nor made up in the next. A skipped parity
// second resets nothing: the next covers both groups; after 58 the count runs on until second 20 resets it.
TEST_F(SimulatedClockTest, SkippedSecondIsNeitherSentNorCounted) {
  const struct {
    int skipped, next, frame, first, parity;
  } kCases[] = {{23, 11, 0, 21, 28}, {28, 21, 0, 21, 35}, {35, 11, 0, 29, 58}, {58, 0, 1, 21, 28}};
  for (auto [skipped, next, frame, first, parity] : kCases) {
    Start();
    clock.Now = kMinute - 1s;
    RunUntil(kMinute + seconds{skipped});
    clock.Now += 1s;
    RunUntil(kMinute + 2min);
    std::vector<int> sent(60), parityFrame(60);  // by second; 0 for one without a pulse, or that never began
    for (const SentSecond& second : SentSeconds(Ticks())) {
      if (second.begun >= kMinute && second.begun < kMinute + 2min)
        (second.begun < kMinute + 1min ? sent : parityFrame)[second.second] = PulseLengths({second.periods})[0];
    }
    if (frame == 0) parityFrame = sent;
    EXPECT_EQ(std::pair(sent[skipped], sent[skipped + 1]), std::pair(0, next)) << skipped;
    EXPECT_EQ(std::count(&parityFrame[first], &parityFrame[parity + 1], 21) % 2, 0) << "skipped " << skipped;
  }
}

TEST_F(SimulatedClockTest, ClockSetBackMidPulseSendsTheSecondAfresh) {
  clock.Now = kMinute + 30s;
  RunUntil(clock.Now + 5 * timecode::kTickPeriod);
  clock.Now -= 1s;
  RunUntil(kMinute + 30s);
  const auto afterTheStep = Ticks().begin() + 5;
  EXPECT_EQ(std::count_if(afterTheStep, Ticks().end(), [](const TickRecord& t) { return t.on; }), 21)
      << "the hour bit of weight 1, counted from the step";
  EXPECT_TRUE(afterTheStep[20].on && !afterTheStep[21].on);
}
