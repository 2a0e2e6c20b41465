// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>

// Whether the PC's clock is kept in step with a reference, as far as the system tells: the time the program
// sends is only as right as the clock it reads.

namespace platform {

enum class ClockSync : std::uint8_t { Unknown, Unsynchronised, Synchronised };

struct ClockSyncState {
  ClockSync sync = ClockSync::Unknown;
  std::chrono::microseconds estimatedError{0};  // the system's estimate of the clock's error
  std::chrono::microseconds maximumError{0};    // the most the system vouches for
  bool operator==(const ClockSyncState&) const = default;
};

// The system's view now. Cheap and without allocation: read once a second on the tick's thread.
ClockSyncState ReadClockSync();

#ifdef __linux__
// The kernel's answer to ntp_adjtime as a state: its clock state (-1 if the call failed), status flags and
// error estimates in microseconds.
ClockSyncState ClockSyncFromKernel(int clockState, int status, long estimatedErrorUs, long maximumErrorUs);
#endif

}  // namespace platform
