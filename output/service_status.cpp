// SPDX-License-Identifier: MIT
#include "output/service_status.h"

#include <algorithm>

#include "platform/service.h"
#include "timecode/text_line.h"
#include "timecode/tick_engine.h"

namespace output {

// Twice in each interval the manager allows, so that one late sign of life is not yet a missed one.
ServiceStatus::ServiceStatus(const timecode::TimeCode& code, const SerialLines& lines,
                             std::chrono::microseconds aliveInterval)
    : code_(code),
      lines_(lines),
      ticksPerAliveSign_(aliveInterval.count() > 0
                             ? std::max<int>(1, static_cast<int>(aliveInterval / timecode::kTickPeriod / 2))
                             : 0) {}

void ServiceStatus::SetPulse(bool) {
  if (ticksPerAliveSign_ == 0 || ++ticksSinceAliveSign_ < ticksPerAliveSign_) return;
  platform::TellAlive();
  ticksSinceAliveSign_ = 0;
}

// "Sending 12:35 CEST on /dev/ttyUSB0; PC clock synchronised": the minute the code's frame names (DCF77's and MSF's the
// coming one, WWVB's and JJY's their own), where it goes, and whether the PC clock can be trusted.
void ServiceStatus::SecondBegun(const BegunSecond& second) {
  if (second.Time.Minute == statusMinute_) return;
  statusMinute_ = second.Time.Minute;
  const timecode::LocalTime& named = code_.NamesComingMinute ? second.Reading.NextMinuteMark : second.Reading.Now;
  char ports[sizeof line_];
  lines_.DescribePorts(ports, sizeof ports);
  timecode::TextLine line(line_, sizeof line_);
  line.Add("%s %02d:%02d %s %s", second.NextHeld ? "Holding" : "Sending", named.Hour, named.Minute, named.Zone, ports);
  if (second.Sync.sync != platform::ClockSync::Unknown) {
    line.Add("; PC clock %s",
             second.Sync.sync == platform::ClockSync::Synchronised ? "synchronised" : "not synchronised");
  }
  platform::TellStatus(line_);
}

}  // namespace output
