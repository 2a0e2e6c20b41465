// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "timecode/local_time.h"

namespace platform {

// Whole seconds added to every reading of the PC's clock, so that the program sends and shows a chosen time
// while its second marks stay on the clock's second edges. Set once at start-up; 0 sends the clock's own time.
extern std::int64_t ClockOffsetSeconds;

// What the kernel has been told of a leap second at the end of the current UTC day, by the daemon that keeps
// the clock: +1 one to be inserted, -1 one to be deleted; and whether it is inserting one now, which it does by
// showing 23:59:59 UTC a second time.
struct KernelLeap {
  int pending = 0;
  bool inserting = false;
};

#ifdef __linux__
// The kernel's answer to ntp_adjtime as a leap second: its clock state and status flags. The state says what the
// kernel will do at the end of the UTC day (TIME_INS, TIME_DEL) or is doing (TIME_OOP); STA_INS and STA_DEL, set
// by the daemon, become that state within a second.
KernelLeap KernelLeapFrom(int clockState, int status);
#endif

// Sends the local time of the zone of that name, an IANA name such as Europe/Berlin, from now on, on every
// system; false, changing nothing, if the system knows no zone of that name. Without it the system's own zone
// is sent (on Linux, TZ's if set). At start-up, before the clock is read.
bool UseZone(const char* name);

// The PC's clock now, read once, moved by ClockOffsetSeconds and converted to local time for now and for the
// coming minute mark, with what lies ahead of that mark. On Linux the kernel's leap second is taken into
// account, unless a chosen time is sent.
timecode::ClockReading ReadLocalClock();

// The same conversion for a given moment, in seconds since the Unix epoch, its tick count at the start of that
// second, in the zone in use, with what the kernel says of a leap second.
timecode::ClockReading LocalClockAt(std::int64_t unixSeconds, KernelLeap kernel = {});

}  // namespace platform
