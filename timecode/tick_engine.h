// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>

#include "timecode/time_sample.h"

namespace timecode {

inline constexpr std::chrono::milliseconds kTickPeriod{10};
inline constexpr std::uint8_t kShortPulseTicks = 11;
inline constexpr int kBeepFrequencyHz = 600;
inline constexpr std::chrono::milliseconds kBeepDuration{1};

extern TimeSample CurrentTime;     // the PC's time now: counts the seconds and is what the window shows
extern TimeSample MinuteMarkTime;  // the time at the coming minute mark: what the frame's bits carry
extern std::uint8_t LastSecond;
extern std::uint8_t PulseTicks;  // ticks the current pulse still runs; 0 when idle

// One tick of the time code, every kTickPeriod: sample the clock, start a new second's pulse, count
// the running pulse down. Pulse lengths are counted in ticks, never measured against the clock.
void TimerTick();

}  // namespace timecode
