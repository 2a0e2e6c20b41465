#pragma once

#include <cstdint>

#include "timecode/local_time.h"

namespace platform {

// The PC's clock now, read once and converted to local time for now and for the coming minute mark.
timecode::ClockReading ReadLocalClock();

// The same conversion for a given moment, in seconds since the Unix epoch, in the process's time zone.
timecode::ClockReading LocalClockAt(std::int64_t unixSeconds);

}  // namespace platform
