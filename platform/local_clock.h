// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <ctime>

#include "platform/clock_sync.h"
#include "platform/zone.h"
#include "timecode/local_time.h"

namespace platform {

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
// by the daemon, become that state within a second, unless the clock is marked unsynchronised (TIME_ERROR).
KernelLeap KernelLeapFrom(int clockState, int status);
#endif

// Sends the local time of the zone of that name, an IANA name such as Europe/Berlin, from now on, on every
// system; false, changing nothing, if the system knows no zone of that name. Without it the system's own zone
// is sent (on Linux, TZ's if set). The zone is the process's, as TZ is: main's start-up chooses it, before the clock
// is read.
bool UseZone(const char* name);

// Whether the system knows a zone of that name, changing nothing.
bool ZoneExists(const char* name);

// The PC's clock, read in the zone in use, for now and for the coming minute mark, with what lies ahead of that mark.
// A clock may be moved by whole seconds, so that a chosen time is sent while the second marks stay on the clock's
// second edges. Each clock keeps what it learnt at its last reading, so each reader has one of its own.
class LocalClock {
 public:
  explicit LocalClock(std::int64_t offsetSeconds = 0) : offsetSeconds_(offsetSeconds), zoneRules_(KeepZoneRules()) {}
  virtual ~LocalClock() = default;

  // The clock now, read once, moved by the offset. On Linux the kernel's leap second is taken into account, unless a
  // chosen time is sent.
  virtual timecode::ClockReading Read();

  // The wall clock now, moved by the offset, in nanoseconds since the Unix epoch: read just after a line change, to
  // know when it went out.
  virtual std::int64_t WallNanos();

  // Whether the clock is kept in step with a reference, as the system says now.
  virtual ClockSyncState Synchronisation() { return ReadClockSync(); }

  // The same conversion for a given moment, in seconds since the Unix epoch (already moved), its tick count at the
  // start of that second, with what the kernel says of a leap second.
  timecode::ClockReading At(std::int64_t unixSeconds, KernelLeap kernel = {});

  // The whole seconds added to every reading; 0 sends the clock's own time.
  std::int64_t OffsetSeconds() const { return offsetSeconds_; }

 private:
  std::int64_t SecondsToZoneChange(std::int64_t mark);

  std::int64_t offsetSeconds_;
  KeptZoneRules zoneRules_;
  // The change of the zone's offset found for a minute mark, kept for the rest of its minute.
  struct {
    std::int64_t mark = 0;
    timecode::LocalTime before, after;
    std::int64_t seconds = 0;
  } zoneChange_;
  // The kernel's leap second as read in the second readInSecond_, read again once a second and when the clock goes
  // back within a second (Linux).
  KernelLeap kernelLeap_;
  std::time_t readInSecond_ = -1;
  long nanosLastRead_ = 0;
};

// The conversion of LocalClock::At, for a reader that keeps nothing between readings.
timecode::ClockReading LocalClockAt(std::int64_t unixSeconds, KernelLeap kernel = {});

}  // namespace platform
