// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "timecode/local_time.h"

namespace platform {

// Whole seconds added to every reading of the PC's clock, so that the program sends and shows a chosen time
// while its second marks stay on the clock's second edges. Set once at start-up; 0 sends the clock's own time.
extern std::int64_t ClockOffsetSeconds;

// The PC's clock now, read once, moved by ClockOffsetSeconds and converted to local time for now and for
// the coming minute mark.
timecode::ClockReading ReadLocalClock();

// The same conversion for a given moment, in seconds since the Unix epoch, in the process's time zone.
timecode::ClockReading LocalClockAt(std::int64_t unixSeconds);

}  // namespace platform
