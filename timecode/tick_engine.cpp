// SPDX-License-Identifier: MIT
#include "timecode/tick_engine.h"

#include <algorithm>

namespace timecode {

Tick TickEngine::TimerTick(const ClockReading& reading, WrongParities wrong) {
  // Every period since the last tick counts, however many ticks the timer merged or the event loop held up: a
  // pulse then ends on the grid point it is due at, not as many periods later as ticks went missing. A clock set
  // back counts as one period; one set far forward, as the rest of the second.
  const std::int64_t periods = std::clamp<std::int64_t>(reading.TickCount - lastTickCount_, 1, kTicksPerSecond);
  lastTickCount_ = reading.TickCount;
  currentTime_ = SampleOf(reading.Now);

  // Any change of the seconds, forwards or backwards, starts a new second. A program started in second 0
  // therefore waits for second 1; seconds skipped by a tick more than a second late are not sent. A second
  // noticed late still gets its whole pattern, counted from the tick that noticed it.
  Tick tick;
  const int lastTickOfSecond = tickOfSecond_;
  if (currentTime_.Second != lastSecond_) {
    lastSecond_ = currentTime_.Second;
    tickOfSecond_ = 0;
    pattern_ = code_->SecondAt(reading, wrong, parityCount_);
    tick.NewSecond = true;
  } else {
    tickOfSecond_ = static_cast<int>(std::min<std::int64_t>(tickOfSecond_ + periods, kTicksPerSecond));
  }
  tick.Reduced = pattern_.Reduced(tickOfSecond_);
  // The first period since the last tick in which the carrier stood as it stands now: that is when it changed.
  if (tick.Reduced != reduced_) {
    tick.ChangedAt = tick.NewSecond ? 0 : lastTickOfSecond + 1;
    while (pattern_.Reduced(tick.ChangedAt) != tick.Reduced) ++tick.ChangedAt;
  }
  reduced_ = tick.Reduced;
  return tick;
}

}  // namespace timecode
