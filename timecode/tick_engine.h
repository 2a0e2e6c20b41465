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

// What one tick found: whether it began a new second, whether the carrier is reduced now, and where it changed since
// the last tick: the tick period of the second whose start it changed at, -1 if it did not.
struct Tick {
  bool NewSecond = false;
  bool Reduced = false;
  int ChangedAt = -1;
};

// The time code's counting, one tick every kTickPeriod: a new second noticed, its pattern taken from the code, and the
// ticks of the second counted. The second is counted in tick periods of the clock, not in ticks delivered, so a tick
// that comes late ends a pulse as if it had come on time.
class TickEngine {
 public:
  explicit TickEngine(const TimeCode& code) : code_(&code) {}

  // One tick, on the clock's reading made for it, with the parity bits sent wrong as the switches stand now.
  Tick TimerTick(const ClockReading& reading, WrongParities wrong);

  const TimeCode& Code() const { return *code_; }
  // The PC's time at the last tick: what the window shows, and what counts the seconds.
  const TimeSample& CurrentTime() const { return currentTime_; }
  // The pattern of the second begun last, and the count of 1-bits DCF77 has kept since its last parity reset.
  const SecondPattern& Pattern() const { return pattern_; }
  std::uint8_t ParityCount() const { return parityCount_; }

 private:
  const TimeCode* code_;
  TimeSample currentTime_;
  std::uint8_t lastSecond_ = 0;
  int tickOfSecond_ = 0;  // tick periods since the tick that began this second
  SecondPattern pattern_;
  std::int64_t lastTickCount_ = 0;  // the clock's tick count at the last tick
  std::uint8_t parityCount_ = 0;
  bool reduced_ = false;  // at the last tick
};

}  // namespace timecode
