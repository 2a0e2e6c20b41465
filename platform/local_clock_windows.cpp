// SPDX-License-Identifier: MIT
#include <windows.h>

#include <cstdint>

#include "platform/local_clock.h"

namespace platform {

namespace {

// The system time counts 100 ns steps from the start of 1601, UTC.
constexpr std::int64_t kStepsPerSecond = 10'000'000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;

}  // namespace

timecode::ClockReading ReadLocalClock() {
  // The precise reading: the plain one moves on only every timer interrupt, some 15.6 ms, so a new
  // second could be seen a tick or two late and its pulse start late with it.
  FILETIME now{};
  ::GetSystemTimePreciseAsFileTime(&now);
  const std::int64_t steps = (static_cast<std::int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return LocalClockAt(steps / kStepsPerSecond - kSecondsFrom1601To1970 + ClockOffsetSeconds);
}

}  // namespace platform
