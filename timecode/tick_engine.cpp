// SPDX-License-Identifier: MIT
#include "timecode/tick_engine.h"

#include <algorithm>

#include "timecode/codes.h"
#include "timecode/tick_links.h"

namespace timecode {

TickLinks Links;
const TimeCode* Code = &kDcf77;
ClockReading Reading;
TimeSample CurrentTime;
TimeSample MinuteMarkTime;
std::uint8_t LastSecond = 0;
int TickOfSecond = 0;
SecondPattern Pattern;
std::int64_t LastTickCount = 0;

void TimerTick() {
  // One clock reading per tick, so that the time shown and the time sent never straddle a midnight.
  Reading = Links.ReadClock();
  // Every period since the last tick counts, however many ticks the timer merged or the event loop held up: a
  // pulse then ends on the grid point it is due at, not as many periods later as ticks went missing. A clock set
  // back counts as one period; one set far forward, as the rest of the second.
  const std::int64_t periods = std::clamp<std::int64_t>(Reading.TickCount - LastTickCount, 1, kTicksPerSecond);
  LastTickCount = Reading.TickCount;
  CurrentTime = SampleOf(Reading.Now);
  MinuteMarkTime = SampleOf(Reading.NextMinuteMark);

  // Any change of the seconds, forwards or backwards, starts a new second. A program started in second 0
  // therefore waits for second 1; seconds skipped by a tick more than a second late are not sent. A second
  // noticed late still gets its whole pattern, counted from the tick that noticed it.
  if (CurrentTime.Second != LastSecond) {
    LastSecond = CurrentTime.Second;
    TickOfSecond = 0;
    Links.ShowTime(CurrentTime);
    Pattern = Code->BeginSecond();
  } else {
    TickOfSecond = static_cast<int>(std::min<std::int64_t>(TickOfSecond + periods, kTicksPerSecond));
  }

  const bool reduced = Pattern.Reduced(TickOfSecond);
  Links.SetPulse(reduced);
  if (reduced && Links.ToneChecked()) Links.Beep(kBeepFrequencyHz, kBeepDuration);
}

}  // namespace timecode
