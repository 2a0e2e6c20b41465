// SPDX-License-Identifier: MIT
#pragma once

// The tick engine on a simulated clock in Berlin's zone that moves on one tick period per tick, its calls recorded.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <vector>

#include "platform/local_clock.h"
#include "timecode/second_schedule.h"
#include "timecode/tick_engine.h"
#include "timecode/tick_links.h"

namespace simulated {

using namespace std::chrono;

inline constexpr int kTicksPerSecond = 100;
// Its frame carries 23:34 on Wednesday 14 May 2025 (summer time): seconds 23, 28, 35 and 58 carry a 1.
inline constexpr sys_seconds kMinute = sys_days{2025y / May / 14} + 21h + 33min;

struct TickRecord {
  sys_seconds second;                                        // of the simulated clock
  int pulsesOn = 0, pulsesOff = 0, displays = 0, beeps = 0;  // beeps of 600 Hz for 1 ms only
  bool operator==(const TickRecord&) const = default;
};

inline sys_time<milliseconds> Now;
inline std::vector<TickRecord> Ticks;

// The engine's state as the program starts, with nothing recorded: every test of the engine begins here.
inline void Restart() {
  timecode::LastSecond = timecode::PulseTicks = timecode::ParityCount = 0;
  Ticks.clear();
}

inline void RunUntil(sys_time<milliseconds> end) {
  for (; Now < end; Now += timecode::kTickPeriod) {
    Ticks.push_back({floor<seconds>(Now)});
    timecode::TimerTick();
  }
}

// Length in ticks of the pulse begun in each second of the `length` long minute starting at `minute`; 0 for none.
inline std::vector<int> PulseLengths(sys_seconds minute, seconds length = 1min) {
  std::vector<int> lengths(length.count());
  for (std::size_t start = 0; start < Ticks.size(); ++start) {
    if (!Ticks[start].pulsesOn || Ticks[start].second < minute || Ticks[start].second >= minute + length) continue;
    std::size_t end = start + 1;
    while (end < Ticks.size() && !Ticks[end].pulsesOff && !Ticks[end].pulsesOn) ++end;
    lengths[(Ticks[start].second - minute).count()] = static_cast<int>(end - start);
  }
  return lengths;
}

class SimulatedClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);  // as a rule, independent of the zone database
    tzset();
    Restart();
    timecode::Links = {
        [] { return platform::LocalClockAt(floor<seconds>(Now).time_since_epoch().count()); },
        [](bool on) { ++(on ? Ticks.back().pulsesOn : Ticks.back().pulsesOff); },
        [](const timecode::TimeSample&) { ++Ticks.back().displays; },
        [] { return true; },  // the tone switch, on
        [](timecode::ParityBit) { return false; },
        [](int hz, milliseconds duration) { Ticks.back().beeps += hz == 600 && duration == 1ms; },
    };
  }
};

}  // namespace simulated
