// SPDX-License-Identifier: MIT
#include "app/transmitter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "app/clock_sync_status.h"
#include "app/frame_lines.h"
#include "output/audio_output.h"
#include "output/serial_lines.h"
#include "platform/local_clock.h"
#include "platform/port_error.h"
#include "platform/report.h"
#include "platform/service.h"
#include "platform/tone.h"
#include "timecode/text_line.h"
#include "timecode/tick_engine.h"

namespace {

TransmitterHost Host;
bool NewSecond = false;
bool Sounding = false;  // --audio
int StatusMinute = -1;  // the minute of the last status line
// The ticks between two signs of life for the service manager, and those counted since the last.
int TicksPerAliveSign = 0;
int TicksSinceAliveSign = 0;
char StatusLine[256];

void ShowTime(const timecode::TimeSample& now) {
  NewSecond = true;
  Host.ShowTime(now);
}

// "Sending 12:35 CEST on /dev/ttyUSB0; PC clock synchronised": the minute the frame names, where it goes, and whether
// the PC clock can be trusted.
void TellStatus() {
  const timecode::LocalTime& mark = timecode::Reading.NextMinuteMark;
  char ports[sizeof StatusLine];
  output::DescribePorts(ports, sizeof ports);
  timecode::TextLine line(StatusLine, sizeof StatusLine);
  line.Add("%s %02d:%02d %s %s", output::HoldingPulses ? "Holding" : "Sending", mark.Hour, mark.Minute, mark.Zone,
           ports);
  if (LastClockSync() != platform::ClockSync::Unknown) {
    line.Add("; PC clock %s",
             LastClockSync() == platform::ClockSync::Synchronised ? "synchronised" : "not synchronised");
  }
  platform::TellStatus(StatusLine);
}

// The next second's keying, told to the sound thread a second ahead, after the gate has heard of this one: the sound
// leaves the device some tens of milliseconds after it is made.
void FeedAudioAhead() {
  const timecode::ClockReading& reading = timecode::Reading;
  const std::int64_t second = reading.TickCount / timecode::kTicksPerSecond;
  timecode::ClockReading next = reading;
  if (reading.Now.Second + 1 < reading.SecondsInMinute) {
    ++next.Now.Second;
  } else {
    next = platform::LocalClockAt(second + 1);
  }
  output::FeedAudio(second + 1 - platform::ClockOffsetSeconds,
                    {.pattern = timecode::Code->PatternAt(next), .silent = output::HoldingPulses});
}

}  // namespace

void StartTransmitter(const Settings& settings, const TransmitterHost& host) {
  Host = host;
  timecode::Code = settings.Code;
  timecode::Links = {
      .ReadClock = platform::ReadLocalClock,
      .SetPulse = output::SetPulse,
      .ShowTime = ShowTime,
      .ToneChecked = host.ToneChecked,
      .ParityInverted = host.ParityInverted,
      .Beep = platform::Beep,
  };
  output::Links = {
      .ShowLamp = host.ShowLamp, .InvertOutputChecked = host.InvertOutputChecked, .Report = platform::Report};
  // A chosen time as if the clock had read it now: whole seconds, so the second marks stay where they are.
  const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
  platform::ClockOffsetSeconds = settings.Start ? (*settings.Start - now).count() : 0;
  // With --require-sync nothing is sent before the first minute mark at which the clock is synchronised.
  output::HoldingPulses = settings.RequireSync;
  StartClockSyncStatus(settings, host.ShowClockSync);
  StartFrameLines(settings.Frames ? stdout : nullptr);
  NewSecond = false;
  StatusMinute = -1;
  const auto alive = platform::AliveInterval();
  // Twice in each interval the manager allows, so that one late sign of life is not yet a missed one.
  TicksPerAliveSign = alive.count() > 0 ? std::max<int>(1, static_cast<int>(alive / timecode::kTickPeriod / 2)) : 0;
  TicksSinceAliveSign = 0;
  Sounding = !settings.AudioDevice.empty();
  if (Sounding) {
    output::StartAudio({.device = settings.AudioDevice,
                        .rate = settings.AudioRate,
                        .carrierHz = settings.Code->CarrierHz,
                        .reducedAmplitude = settings.Code->ReducedAmplitude});
  } else {
    platform::StartTone();
  }
}

std::vector<std::string> OpenPorts(const Settings& settings, bool waitForThem) {
  std::vector<std::string> failed;
  for (const std::string& name : settings.PortNames) {
    const platform::PortOpening port = output::AddPort(name.c_str(), waitForThem);
    if (port.handle != platform::kNoPort) continue;
    char reason[512];
    platform::DescribeOpenError(port.error, port.device, reason, sizeof reason);
    const std::string device = name == port.device ? name : name + " (" + port.device + ")";
    const std::string line = "cannot " + std::string(port.failedStep) + " the port " + device + ": " + reason +
                             (waitForThem ? "; trying it again every second" : "");
    platform::Report(platform::Severity::Error, line.c_str());
    if (!waitForThem) failed.push_back(name);
  }
  return failed;
}

void TransmitterTick() {
  timecode::TimerTick();
  if (TicksPerAliveSign > 0 && ++TicksSinceAliveSign >= TicksPerAliveSign) {
    platform::TellAlive();
    TicksSinceAliveSign = 0;
  }
  if (!NewSecond) return;
  NewSecond = false;
  Host.SecondShown();
  RecordSecond();
  ShowClockSync();
  if (Sounding) FeedAudioAhead();
  if (timecode::CurrentTime.Minute != StatusMinute) {
    StatusMinute = timecode::CurrentTime.Minute;
    TellStatus();
  }
}

void StopTransmitter() {
  output::ClosePorts();
  if (Sounding) {
    output::StopAudio();
  } else {
    platform::StopTone();
  }
}
