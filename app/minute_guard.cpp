// SPDX-License-Identifier: MIT
#include "app/minute_guard.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
// The wall clock less the steady clock moves by microseconds a tick while the clock is slewed, and not at all
// otherwise; by more than this, it was set.
constexpr std::int64_t kStepNanos = 3'000'000;

std::int64_t SecondOf(const timecode::ClockReading& reading) { return reading.TickCount / timecode::kTicksPerSecond; }

bool SameMinuteMark(const timecode::LocalTime& one, const timecode::LocalTime& other) {
  return one.Year == other.Year && one.Month == other.Month && one.Day == other.Day && one.Hour == other.Hour &&
         one.Minute == other.Minute && one.UtcOffsetSeconds == other.UtcOffsetSeconds;
}

}  // namespace

// Sending starts again with the minute's last second, so that the next frame has its minute mark before it; spoiled
// in that second itself, with the next minute's first.
void MinuteGuard::Spoil(const timecode::ClockReading& reading) {
  news_ = news_ || !spoiled_;
  spoiled_ = true;
  spoiledIn_ = SecondOf(reading);
  spoiledInLastSecond_ = reading.Now.Second == reading.SecondsInMinute - 1;
}

void MinuteGuard::CheckClock(const timecode::ClockReading& reading) {
  const std::int64_t wallLessSteady = reading.WallNanos - reading.SteadyNanos;
  const std::int64_t moved = wallLessSteady - wallLessSteady_;
  const std::int64_t minuteStart = SecondOf(reading) - reading.Now.Second;
  // The kernel inserts a leap second by setting the clock back a second as it shows 23:59:60, and deletes one by
  // setting it forward over 23:59:59: both are the minute's own, already counted in it.
  const bool leapSecond = (reading.Now.Second == 60 && std::llabs(moved + kNanosPerSecond) <= kStepNanos) ||
                          (secondsInMinute_ == 59 && std::llabs(moved - kNanosPerSecond) <= kStepNanos);
  const std::int64_t sinceLastTick = reading.SteadyNanos - steadyAtLastTick_;
  // Where the two clocks could not be read at one moment, as on a machine that held the reading up, by as much less.
  const std::int64_t uncertain = reading.SteadyUncertainty + steadyUncertainty_;
  if (known_ && std::llabs(moved) > kStepNanos + uncertain && !leapSecond) {
    std::snprintf(why_, sizeof why_, "the PC clock was set by %+.3f s", static_cast<double>(moved) / kNanosPerSecond);
    Spoil(reading);
  } else if (known_ && sinceLastTick >= kNanosPerSecond) {
    // A whole second went by without a tick: its pulse never went out.
    std::snprintf(why_, sizeof why_, "no tick came for %.3f s", static_cast<double>(sinceLastTick) / kNanosPerSecond);
    Spoil(reading);
  } else if (known_ && minuteStart == minuteStart_ && !SameMinuteMark(reading.NextMinuteMark, mark_)) {
    std::snprintf(why_, sizeof why_, "the coming minute mark moved from %02d:%02d to %02d:%02d", mark_.Hour,
                  mark_.Minute, reading.NextMinuteMark.Hour, reading.NextMinuteMark.Minute);
    Spoil(reading);
  }
  known_ = true;
  steadyAtLastTick_ = reading.SteadyNanos;
  steadyUncertainty_ = reading.SteadyUncertainty;
  wallLessSteady_ = wallLessSteady;
  secondsInMinute_ = reading.SecondsInMinute;
  minuteStart_ = minuteStart;
  mark_ = reading.NextMinuteMark;
}

bool MinuteGuard::HoldsBack(const timecode::ClockReading& second) const {
  const bool lastSecond = second.Now.Second == second.SecondsInMinute - 1;
  return spoiled_ && !(SecondOf(second) > spoiledIn_ && (lastSecond || spoiledInLastSecond_));
}

void MinuteGuard::NewSecond(const timecode::ClockReading& reading) {
  secondsBegun_ = std::min(secondsBegun_ + 1, 2);
  spoiled_ = HoldsBack(reading);
}

void MinuteGuard::CheckEdge(bool start, std::int64_t due, std::int64_t wentOut, const timecode::ClockReading& reading) {
  // The first second is begun whenever the program starts, at whatever point of it.
  if (spoiled_ || secondsBegun_ < 2 || wentOut - due <= lateEdgeNanos_) return;
  std::snprintf(why_, sizeof why_, "a pulse %s %lld ms late", start ? "began" : "ended",
                static_cast<long long>((wentOut - due) / 1'000'000));
  Spoil(reading);
}
