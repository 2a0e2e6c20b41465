// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// The clock that is never set: the sound is timed on it, so that a second the wall clock shows twice (the kernel's
// leap second) is still two seconds of sound, and the wall clock is read beside it to catch the wall clock being set.

namespace platform {

// Nanoseconds of the steady clock: CLOCK_MONOTONIC on Linux, the performance counter on Windows. The sound devices
// report when their frames leave on the same clock (platform/audio_device.h).
std::int64_t SteadyNanos();

// The steady clock at the moment `readWall` read the wall clock, and how far from that moment it may be (ns): the wall
// clock read between two readings of the steady one, again where something came between them, so that the two are
// read at one moment to within a few microseconds.
struct SteadyBeside {
  std::int64_t nanos = 0;
  std::int64_t uncertainty = 0;
};
template <typename ReadWall>
SteadyBeside ReadBesideSteady(ReadWall readWall) {
  constexpr int kAttempts = 3;
  constexpr std::int64_t kSpread = 20'000;  // ns
  SteadyBeside steady;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const std::int64_t before = SteadyNanos();
    readWall();
    const std::int64_t after = SteadyNanos();
    steady = {before + (after - before) / 2, (after - before) / 2};
    if (after - before < kSpread) break;
  }
  return steady;
}

}  // namespace platform
