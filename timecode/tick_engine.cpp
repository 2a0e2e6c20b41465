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

  // Any change of the seconds, forwards or backwards, starts a new second. A program started in
  // second 0 therefore waits for second 1; late ticks skip seconds and nothing catches up.
  if (CurrentTime.Second != LastSecond) {
    LastSecond = CurrentTime.Second;
    PulseTicks = kShortPulseTicks;
    Links.ShowTime(CurrentTime);
    if (CurrentTime.Second != kMinuteMarkSecond) Links.SetPulse(true);
    SecondSchedule(CurrentTime.Second);
  }

  // The idle level is asserted on every idle tick, not once per pulse, so a polarity change shows at once.
  if (PulseTicks == 0) {
    Links.SetPulse(false);
  } else {
    --PulseTicks;
    if (CurrentTime.Second != kMinuteMarkSecond && Links.ToneChecked()) Links.Beep(kBeepFrequencyHz, kBeepDuration);
  }
}

}  // namespace timecode
