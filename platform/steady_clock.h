// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// The clock that is never set: the sound is timed on it, so that a second the wall clock shows twice (the kernel's
// leap second) is still two seconds of sound, and the wall clock is read beside it to catch the wall clock being set.

namespace platform {

// Nanoseconds of the steady clock: CLOCK_MONOTONIC on Linux, the performance counter on Windows. The sound devices
// report when their frames leave on the same clock (platform/audio_device.h).
std::int64_t SteadyNanos();

}  // namespace platform
