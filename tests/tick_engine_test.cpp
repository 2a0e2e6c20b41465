// SPDX-License-Identifier: MIT
// The engine tick by tick: pulse shape, tone and display, late ticks and clock steps.

#include <algorithm>

#include "tests/simulated_clock.h"

using namespace simulated;

// A pulse begins each second but 59 and ends, with the idle level, on every tick after its 11 or 21; the display
// changes once a second, and each counted tick of a pulse beeps, but none in second 59.
TEST_F(SimulatedClockTest, EverySecondOfAMinuteTickByTick) {
  Now = kMinute - 1s;  // second s of kMinute then begins at tick 100 (s + 1)
  RunUntil(kMinute + 1min);
  for (int second = 0; second < 60; ++second) {
    const TickRecord* tick = &Ticks[static_cast<std::size_t>(second + 1) * kTicksPerSecond];
    int length = 0;
    while (length < kTicksPerSecond && !tick[length].pulsesOff) ++length;
    const bool mark = second == 59;
    EXPECT_TRUE(length == 11 || (length == 21 && !mark)) << "second " << second << ": " << length;
    for (int t = 0; t < kTicksPerSecond; ++t)
      ASSERT_EQ(tick[t], (TickRecord{tick[t].second, t == 0 && !mark, t >= length, t == 0, !mark && t < length}))
          << "second " << second << ", tick " << t;
  }
}

// A tick a second late skips a second, which is neither sent nor counted, nor made up in the next. A skipped parity
// second resets nothing: the next covers both groups; after 58 the count runs on until second 20 resets it.
TEST_F(SimulatedClockTest, SkippedSecondIsNeitherSentNorCounted) {
  const struct {
    int skipped, next, frame, first, parity;
  } kCases[] = {{23, 11, 0, 21, 28}, {28, 21, 0, 21, 35}, {35, 11, 0, 29, 58}, {58, 0, 1, 21, 28}};
  for (auto [skipped, next, frame, first, parity] : kCases) {
    Restart();
    Now = kMinute - 1s;
    RunUntil(kMinute + seconds{skipped});
    Now += 1s;
    RunUntil(kMinute + 2min);
    const auto sent = PulseLengths(kMinute), parityFrame = PulseLengths(kMinute + minutes{frame});
    EXPECT_EQ(std::pair(sent[skipped], sent[skipped + 1]), std::pair(0, next)) << skipped;
    EXPECT_EQ(std::count(&parityFrame[first], &parityFrame[parity + 1], 21) % 2, 0) << "skipped " << skipped;
  }
}

TEST_F(SimulatedClockTest, ClockSetBackMidPulseSendsTheSecondAfresh) {
  Now = kMinute + 30s;
  RunUntil(Now + 5 * timecode::kTickPeriod);
  Now -= 1s;
  RunUntil(kMinute + 30s);
  EXPECT_EQ(PulseLengths(kMinute)[29], 21) << "the hour bit of weight 1, counted from the step";
}
