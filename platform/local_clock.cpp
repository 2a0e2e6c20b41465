// SPDX-License-Identifier: MIT
#include "platform/local_clock.h"

#include "timecode/time_code.h"

namespace platform {

namespace {

constexpr std::int64_t kSecondsPerDay = 86'400;
// Far enough ahead for every code's announcement of a change of the zone's offset.
constexpr std::int64_t kZoneLookAhead = std::int64_t{3} * 3600;

bool SameOffset(const timecode::LocalTime& one, const timecode::LocalTime& other) {
  return one.UtcOffsetSeconds == other.UtcOffsetSeconds && one.SummerTime == other.SummerTime;
}

}  // namespace

// The first moment after the mark's last second with another offset, found by halving, on the ticks within the
// look-ahead of a change; the result is kept for the rest of the minute, which has the same mark and offsets.
std::int64_t LocalClock::SecondsToZoneChange(std::int64_t mark) {
  const timecode::LocalTime before = ZonedTime(mark - 1, zoneRules_.get()),
                            after = ZonedTime(mark + kZoneLookAhead, zoneRules_.get());
  if (SameOffset(before, after)) return timecode::kNothingAhead;
  if (zoneChange_.mark == mark && SameOffset(zoneChange_.before, before) && SameOffset(zoneChange_.after, after))
    return zoneChange_.seconds;
  std::int64_t unchanged = mark - 1, changed = mark + kZoneLookAhead;
  while (changed - unchanged > 1) {
    const std::int64_t middle = unchanged + (changed - unchanged) / 2;
    (SameOffset(before, ZonedTime(middle, zoneRules_.get())) ? unchanged : changed) = middle;
  }
  zoneChange_ = {mark, before, after, changed - mark};
  return zoneChange_.seconds;
}

timecode::ClockReading LocalClock::At(std::int64_t unixSeconds, KernelLeap kernel) {
  timecode::ClockReading reading;
  reading.Now = ZonedTime(unixSeconds, zoneRules_.get());
  reading.TickCount = unixSeconds * timecode::kTicksPerSecond;
  // Counted back from the local seconds rather than rounded in UTC, so zones with odd offsets work too.
  const std::int64_t minuteStart = unixSeconds - reading.Now.Second;
  std::int64_t mark = minuteStart + 60;
  reading.NextMinuteMark = ZonedTime(mark, zoneRules_.get());

  // A zone that counts leap seconds shows second 60 where one is inserted: the minute mark comes a second later.
  // Elsewhere the kernel inserts one by showing the UTC day's last second twice, or deletes one by skipping it,
  // in the minute that ends the UTC day; its clock never shows second 60, so the engine is told so here.
  const std::int64_t dayEnd = (unixSeconds / kSecondsPerDay + 1) * kSecondsPerDay;
  const bool countedLeapSecond = reading.NextMinuteMark.Second == 60;
  if (countedLeapSecond) {
    reading.SecondsInMinute = 61;
    reading.NextMinuteMark = ZonedTime(++mark, zoneRules_.get());
  }
  reading.SecondsToLeapSecond = SecondsToCountedLeapSecond(mark);
  if (!countedLeapSecond && (kernel.inserting || kernel.pending != 0)) {
    if (mark == dayEnd) reading.SecondsInMinute = kernel.inserting ? 61 : 60 + kernel.pending;
    if (kernel.inserting) reading.Now.Second = 60;
    // A deletion has never happened, and the codes announce none: its minute only ends a second early.
    if (kernel.inserting || kernel.pending > 0) reading.SecondsToLeapSecond = dayEnd - mark;
  }
  reading.SecondsToZoneChange = SecondsToZoneChange(mark);
  return reading;
}

timecode::ClockReading LocalClockAt(std::int64_t unixSeconds, KernelLeap kernel) {
  return LocalClock().At(unixSeconds, kernel);
}

}  // namespace platform
