// SPDX-License-Identifier: MIT
#include "timecode/tick_engine.h"

#include "timecode/second_schedule.h"
#include "timecode/tick_links.h"

namespace timecode {

TickLinks Links;
TimeSample CurrentTime;
TimeSample MinuteMarkTime;
std::uint8_t LastSecond = 0;
std::uint8_t PulseTicks = 0;

void TimerTick() {
  // One clock reading per tick, so that the time shown and the time sent never straddle a midnight.
  const ClockReading reading = Links.ReadClock();
  CurrentTime = SampleOf(reading.Now);
  MinuteMarkTime = SampleOf(reading.NextMinuteMark);
  // The minute's last second, second 59 or a leap second's 60, carries no pulse and has no schedule entry.
  const bool minuteMark = CurrentTime.Second >= reading.SecondsInMinute - 1;

  // Any change of the seconds, forwards or backwards, starts a new second. A program started in
  // second 0 therefore waits for second 1; late ticks skip seconds and nothing catches up.
  if (CurrentTime.Second != LastSecond) {
    LastSecond = CurrentTime.Second;
    PulseTicks = kShortPulseTicks;
    Links.ShowTime(CurrentTime);
    if (!minuteMark) {
      Links.SetPulse(true);
      SecondSchedule(CurrentTime.Second);
    }
  }

  // The idle level is asserted on every idle tick, not once per pulse, so a polarity change shows at once.
  if (PulseTicks == 0) {
    Links.SetPulse(false);
  } else {
    --PulseTicks;
    if (!minuteMark && Links.ToneChecked()) Links.Beep(kBeepFrequencyHz, kBeepDuration);
  }
}

}  // namespace timecode
