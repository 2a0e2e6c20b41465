// The engine tick by tick: pulse shape, tone, the invert switches, late ticks and clock steps.

#include <algorithm>
#include <utility>

#include "tests/simulated_clock.h"

namespace {

using namespace simulated;
using timecode::ParityBit;

// Its frame carries 23:34: minute bits 0010110 (P1 = 1), hour bits 110001 (P2 = 1).
const sys_seconds kMinute = Utc(2025y / May / 14, 21h, 33min);

std::vector<int> SendWholeMinute() {
  Restart();
  Now = kMinute - 1s;  // second s of kMinute then begins at tick 100 (s + 1)
  RunUntil(kMinute + 1min);
  return PulseLengths(kMinute);
}

TEST_F(SimulatedClockTest, EverySecondOfAMinuteTickByTick) {
  for (bool tone : {false, true}) {
    ToneOn = tone;
    SendWholeMinute();
    for (int second = 0; second < 60; ++second) {
      const TickRecord* tick = &Ticks[static_cast<std::size_t>(second + 1) * kTicksPerSecond];
      int length = 0;
      while (length < kTicksPerSecond && !tick[length].pulsesOff) ++length;
      const bool minuteMark = second == 59;
      EXPECT_TRUE(length == 11 || (length == 21 && !minuteMark)) << "second " << second << ": " << length;
      for (int t = 0; t < kTicksPerSecond; ++t)
        ASSERT_EQ(tick[t], (TickRecord{tick[t].second, t == 0 && !minuteMark, t >= length, t == 0,
                                       tone && !minuteMark && t < length}))
            << "tone " << tone << ", second " << second << ", tick " << t;
    }
  }
}

TEST_F(SimulatedClockTest, EachInvertSwitchFlipsOnlyItsOwnParityBit) {
  const auto plain = SendWholeMinute();
  for (auto [parity, paritySecond] :
       {std::pair{ParityBit::Minute, 28}, std::pair{ParityBit::Hour, 35}, std::pair{ParityBit::Date, 58}}) {
    InvertedParity = {};
    InvertedParity[static_cast<int>(parity)] = true;
    const auto inverted = SendWholeMinute();
    for (int second = 0; second < 60; ++second)
      EXPECT_EQ(plain[second] != inverted[second], second == paritySecond) << "second " << second;
  }
}

TEST_F(SimulatedClockTest, SecondSkippedByALateTickIsNeitherSentNorCounted) {
  // Each skipped second carries a 1; the second case skips P1, so P2 covers the minute and the hour bits.
  const struct { int skipped, firstCounted, paritySecond; } kCases[] = {{23, 21, 28}, {28, 21, 35}};
  for (auto [skipped, firstCounted, paritySecond] : kCases) {
    Restart();
    Now = kMinute - 1s;
    RunUntil(kMinute + seconds{skipped});
    Now += 1s;  // the tick due as the second begins comes a whole second late
    RunUntil(kMinute + 1min);
    const auto lengths = PulseLengths(kMinute);
    EXPECT_EQ(lengths[skipped], 0);
    EXPECT_EQ(std::count(&lengths[firstCounted], &lengths[paritySecond + 1], 21) % 2, 0) << "skipped " << skipped;
  }
}

// Which of the first 150 ticks after a start begin a pulse and show the time.
TEST_F(SimulatedClockTest, FirstPulseAndDisplayAfterAStart) {
  const struct {
    milliseconds start;
    std::vector<int> pulseTicks, displayTicks;
  } kCases[] = {
      {0ms, {100}, {100}},           // in second 0: nothing until second 1
      {37'450ms, {0, 55}, {0, 55}},  // at once, mid-second
      {59'450ms, {55}, {0, 55}},     // in the minute mark: no pulse until second 0
  };
  auto ticksWith = [](int TickRecord::*call) {
    std::vector<int> found;
    for (std::size_t tick = 0; tick < Ticks.size(); ++tick)
      if (Ticks[tick].*call) found.push_back(static_cast<int>(tick));
    return found;
  };
  for (const auto& [start, pulseTicks, displayTicks] : kCases) {
    Restart();
    Now = kMinute + start;
    RunUntil(Now + 150 * kTick);
    EXPECT_EQ(ticksWith(&TickRecord::pulsesOn), pulseTicks) << start.count() << " ms";
    EXPECT_EQ(ticksWith(&TickRecord::displays), displayTicks) << start.count() << " ms";
  }
}

TEST_F(SimulatedClockTest, ClockSetBackMidPulseSendsTheSecondAfresh) {
  Now = kMinute + 30s;
  RunUntil(Now + 5 * kTick);
  Now -= 1s;
  RunUntil(kMinute + 30s);
  EXPECT_EQ(PulseLengths(kMinute)[29], 21) << "hour bit of weight 1, counted from the step";
}

}  // namespace
