// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>

#include "timecode/local_time.h"
#include "timecode/time_sample.h"

// Everything the tick engine asks of the world outside the time code: the clock, the tone, the pulse
// output, the clock display and the switches. The program fills these in once before the first tick;
// tests fill them with a simulated clock and recorders.

namespace timecode {

enum class ParityBit { Minute, Hour, Date };

struct TickLinks {
  ClockReading (*ReadClock)() = nullptr;
  // Every tick: whether the carrier is reduced now, which the pulse output shows as a pulse.
  void (*SetPulse)(bool on) = nullptr;
  void (*ShowTime)(const TimeSample& now) = nullptr;
  bool (*ToneChecked)() = nullptr;
  bool (*ParityInverted)(ParityBit parity) = nullptr;
  void (*Beep)(int frequencyHz, std::chrono::milliseconds duration) = nullptr;
};

extern TickLinks Links;

}  // namespace timecode
