// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <memory>

#include "timecode/local_time.h"

// The zone in use, by system: the C library's on Linux (local_clock_linux.cpp), the system's registry of zones on
// Windows (local_clock_windows.cpp). The common conversion (local_clock.cpp) builds on these two.

namespace platform {

// What the conversion keeps from one call to the next, by system: on Windows the zone's rules for the years converted
// last, so that converting touches no registry; nothing on Linux, where the C library keeps the zone's rules itself.
struct ZoneRules;
struct ForgetZoneRules {
  void operator()(ZoneRules* rules) const;
};
using KeptZoneRules = std::unique_ptr<ZoneRules, ForgetZoneRules>;
KeptZoneRules KeepZoneRules();

// A moment, in seconds since the Unix epoch, as the zone in use shows it. Allocates nothing.
timecode::LocalTime ZonedTime(std::int64_t unixSeconds, ZoneRules* rules);

// For a clock that counts leap seconds, as tzdata's right/ zones do: seconds from the minute mark `mark` to the
// minute mark that ends the next minute lengthened by one, if that is due by the end of the mark's UTC month;
// timecode::kNothingAhead otherwise, and on a system whose clock never counts them.
std::int64_t SecondsToCountedLeapSecond(std::int64_t mark);

}  // namespace platform
