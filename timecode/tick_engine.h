// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>

#include "timecode/local_time.h"
#include "timecode/time_code.h"
#include "timecode/time_sample.h"

namespace timecode {

inline constexpr std::chrono::milliseconds kTickPeriod{10};
static_assert(kTickPeriod * kTicksPerSecond == std::chrono::seconds(1));
inline constexpr int kBeepFrequencyHz = 600;
inline constexpr std::chrono::milliseconds kBeepDuration{1};

extern const TimeCode* Code;       // the code sent; DCF77 unless the program chooses another
extern ClockReading Reading;       // this tick's reading of the clock
extern TimeSample CurrentTime;     // the PC's time now: counts the seconds and is what the window shows
extern TimeSample MinuteMarkTime;  // the time at the coming minute mark
extern std::uint8_t LastSecond;
extern int TickOfSecond;            // tick periods since the tick that began this second
extern SecondPattern Pattern;       // this second's, from the code
extern std::int64_t LastTickCount;  // the clock's tick count at the last tick

// One tick of the time code, every kTickPeriod: sample the clock, begin a new second with its pattern from the
// code, and tell the pulse output whether the carrier is reduced now. The second is counted in tick periods by the
// clock, not in ticks delivered, so a tick that comes late ends a pulse as if it had come on time.
void TimerTick();

}  // namespace timecode
