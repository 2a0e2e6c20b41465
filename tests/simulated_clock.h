// SPDX-License-Identifier: MIT
#pragma once

// The tick engine on a simulated clock in Berlin's zone that moves on one tick period per tick, its calls recorded.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "platform/local_clock.h"
#include "timecode/codes.h"
#include "timecode/second_schedule.h"
#include "timecode/tick_engine.h"
#include "timecode/tick_links.h"

namespace simulated {

using namespace std::chrono;

inline constexpr int kTicksPerSecond = 100;
// Its frame carries 23:34 on Wednesday 14 May 2025 (summer time): seconds 23, 28, 35 and 58 carry a 1.
inline constexpr sys_seconds kMinute = sys_days{2025y / May / 14} + 21h + 33min;

struct TickRecord {
  sys_time<milliseconds> at;  // of the simulated clock
  bool on = false;            // the pulse output's state
  int shown = -1;             // the second the display was given, if it was
  int beeps = 0;              // of 600 Hz for 1 ms only
  bool operator==(const TickRecord&) const = default;
};

inline sys_time<milliseconds> Now;
inline std::vector<TickRecord> Ticks;
inline platform::KernelLeap Kernel;  // what the simulated kernel says of a leap second

inline timecode::ClockReading ReadSimulatedClock() {
  const sys_seconds second = floor<seconds>(Now);
  timecode::ClockReading reading = platform::LocalClockAt(second.time_since_epoch().count(), Kernel);
  reading.TickCount += (Now - second) / timecode::kTickPeriod;
  return reading;
}

// The engine's state as the program starts, with nothing recorded: every test of the engine begins here.
inline void Restart() {
  timecode::LastSecond = timecode::ParityCount = 0;
  timecode::TickOfSecond = 0;
  timecode::LastTickCount = 0;
  timecode::Pattern = {};
  timecode::Code = &timecode::kDcf77;
  Kernel = {};
  Ticks.clear();
}

inline void Tick() {
  Ticks.push_back({Now});
  timecode::TimerTick();
}

inline void RunUntil(sys_time<milliseconds> end) {
  for (; Now < end; Now += timecode::kTickPeriod) Tick();
}

// The seconds sent, each from the tick that began it (the engine shows every new second) to the next that begins
// one: '1' for each tick period during which the carrier was reduced, as the lines held it from one tick to the
// next, '0' for the others, 100 in all.
struct SentSecond {
  sys_time<milliseconds> begun;
  int second = 0;  // as shown
  std::string periods;
};

inline std::vector<SentSecond> SentSeconds() {
  std::vector<SentSecond> sent;
  for (std::size_t begun = 0; begun < Ticks.size(); ++begun) {
    if (Ticks[begun].shown < 0) continue;
    sent.push_back({Ticks[begun].at, Ticks[begun].shown, std::string(kTicksPerSecond, '0')});
    for (std::size_t tick = begun; tick + 1 < Ticks.size() && (tick == begun || Ticks[tick].shown < 0); ++tick) {
      const auto from = (Ticks[tick].at - Ticks[begun].at) / timecode::kTickPeriod,
                 to = (Ticks[tick + 1].at - Ticks[begun].at) / timecode::kTickPeriod;
      for (auto period = from; Ticks[tick].on && period < std::min<decltype(to)>(to, kTicksPerSecond); ++period)
        sent.back().periods[period] = '1';
    }
  }
  return sent;
}

// The whole minutes sent, each from a second 0 up to the next: when it began, and its seconds.
struct SentMinute {
  sys_seconds begun;
  std::vector<std::string> seconds;
};

inline std::vector<SentMinute> SentMinutes() {
  std::vector<SentMinute> minutes;
  bool whole = false;
  for (const SentSecond& second : SentSeconds()) {
    if (second.second == 0) {
      minutes.push_back({floor<seconds>(second.begun), {}});
      whole = true;
    }
    if (whole) minutes.back().seconds.push_back(second.periods);
  }
  if (!minutes.empty()) minutes.pop_back();  // not known to be whole
  return minutes;
}

// The length in tick periods of each second's pulse, which begins as the second does: DCF77's bits.
inline std::vector<int> PulseLengths(const std::vector<std::string>& seconds) {
  std::vector<int> lengths;
  for (const std::string& periods : seconds) lengths.push_back(static_cast<int>(periods.find('0')));
  return lengths;
}

class SimulatedClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);  // as a rule, independent of the zone database
    tzset();
    Restart();
    timecode::Links = {
        ReadSimulatedClock,
        [](bool on) { Ticks.back().on = on; },
        [](const timecode::TimeSample& now) { Ticks.back().shown = now.Second; },
        [] { return true; },  // the tone switch, on
        [](timecode::ParityBit) { return false; },
        [](int hz, milliseconds duration) { Ticks.back().beeps += hz == 600 && duration == 1ms; },
    };
  }
};

}  // namespace simulated
