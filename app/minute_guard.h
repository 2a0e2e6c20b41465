// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "timecode/local_time.h"
#include "timecode/time_code.h"

// The first rule of a time source: never a minute that a receiver accepts and that names a wrong time. A minute that
// cannot be sent right, because the wall clock was set or a pulse went out too late, is spoiled: nothing more of it is
// sent, and sending starts again at its last second, so that the next whole frame goes out from its minute mark on.
class MinuteGuard {
 public:
  // `lateEdgeMs`: the most an edge may go out after its grid point (timecode::TimeCode::LateEdgeMs).
  explicit MinuteGuard(int lateEdgeMs) : lateEdgeNanos_(std::int64_t{lateEdgeMs} * 1'000'000) {}

  // Every tick, on the clock's reading, before anything is sent: whether the wall clock was set since the last tick
  // (its difference from the steady clock moved), or the coming minute mark moved within a minute.
  void CheckClock(const timecode::ClockReading& reading);

  // At every new second: the minute's last second after a spoiled minute lets sending start again.
  void NewSecond(const timecode::ClockReading& reading);

  // After a pulse began (start) or ended on the lines: the edge went out at wentOut, due at due (wall clock, ns).
  void CheckEdge(bool start, std::int64_t due, std::int64_t wentOut, const timecode::ClockReading& reading);

  bool Spoiled() const { return spoiled_; }
  // Whether the second of that reading, one still to come, falls in the minute spoiled.
  bool HoldsBack(const timecode::ClockReading& second) const;
  // Why the minute is spoiled, while it is: "the PC clock was set by +3600.000 s".
  const char* Why() const { return why_; }
  // True once for each minute spoiled, so that it is told once.
  bool TakeNews() {
    const bool news = news_;
    news_ = false;
    return news;
  }

 private:
  void Spoil(const timecode::ClockReading& reading);

  std::int64_t lateEdgeNanos_;
  bool known_ = false;    // a reading has been seen
  int secondsBegun_ = 0;  // up to 2
  std::int64_t steadyAtLastTick_ = 0;
  std::int64_t steadyUncertainty_ = 0;
  std::int64_t wallLessSteady_ = 0;
  int secondsInMinute_ = 60;
  std::int64_t minuteStart_ = 0;  // the current minute's first second, and the minute mark it names
  timecode::LocalTime mark_;
  bool spoiled_ = false;
  bool news_ = false;
  std::int64_t spoiledIn_ = 0;  // the second, by the clock as it then was, in which the minute was spoiled
  bool spoiledInLastSecond_ = false;
  char why_[96] = "";
};
