#pragma once

// The tick engine on a simulated clock that moves on one tick period per tick, with its calls out recorded.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <ostream>
#include <vector>

#include "platform/local_clock.h"
#include "timecode/second_schedule.h"
#include "timecode/tick_engine.h"
#include "timecode/tick_links.h"

namespace simulated {

using namespace std::chrono;

// Central European time as Europe/Berlin keeps it, as a rule so that no zone database is needed.
inline constexpr char kBerlinZone[] = "CET-1CEST,M3.5.0,M10.5.0/3";
inline constexpr milliseconds kTick{10};
inline constexpr int kTicksPerSecond = 100;

constexpr sys_seconds Utc(year_month_day date, hours hour, minutes minute) { return sys_days{date} + hour + minute; }

struct TickRecord {
  sys_seconds second;                                        // of the simulated clock
  int pulsesOn = 0, pulsesOff = 0, displays = 0, beeps = 0;  // beeps of 600 Hz for 1 ms only
  bool operator==(const TickRecord&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const TickRecord& tick) {
  return out << "on " << tick.pulsesOn << ", off " << tick.pulsesOff << ", display " << tick.displays << ", beeps "
             << tick.beeps;
}

inline sys_time<milliseconds> Now;
inline std::vector<TickRecord> Ticks;
inline bool ToneOn = false;
inline std::array<bool, 3> InvertedParity{};  // by timecode::ParityBit

// The engine as the program starts it, with nothing recorded.
inline void Restart() {
  timecode::LastSecond = timecode::PulseTicks = timecode::ParityCount = 0;
  Ticks.clear();
}

inline void RunUntil(sys_time<milliseconds> end) {
  for (; Now < end; Now += kTick) {
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
    setenv("TZ", kBerlinZone, 1);
    tzset();
    Restart();
    ToneOn = false;
    InvertedParity = {};
    timecode::Links = {
        [] { return platform::LocalClockAt(floor<seconds>(Now).time_since_epoch().count()); },
        [](bool on) { ++(on ? Ticks.back().pulsesOn : Ticks.back().pulsesOff); },
        [](const timecode::TimeSample&) { ++Ticks.back().displays; },
        [] { return ToneOn; },
        [](timecode::ParityBit parity) { return InvertedParity[static_cast<int>(parity)]; },
        [](int hz, milliseconds duration) { Ticks.back().beeps += hz == 600 && duration == 1ms; },
    };
  }
};

}  // namespace simulated
