// SPDX-License-Identifier: MIT
#include "app/transmitter.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "app/clock_sync_text.h"
#include "platform/port_error.h"
#include "platform/service.h"
#include "timecode/text_line.h"

namespace {

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
constexpr std::int64_t kNanosPerTick = kNanosPerSecond / timecode::kTicksPerSecond;

// The sound: the time code on the device --audio names, or else the beep on the system's default device, which plays
// only while the Beep box is checked.
output::SoundSettings SoundFor(const Settings& settings) {
  if (!settings.AudioDevice.empty()) {
    return {.device = settings.AudioDevice, .rate = settings.AudioRate, .tone = output::TimeCodeTone(*settings.Code)};
  }
  return {.device = "default", .rate = 48'000, .tone = output::kBeep, .sounds = "the beep"};
}

}  // namespace

Transmitter::Transmitter(const Settings& settings, platform::LocalClock& clock, output::Output* host,
                         platform::Reporter report)
    : clock_(clock),
      report_(std::move(report)),
      engine_(*settings.Code),
      gate_(settings.RequireSync),
      guard_(settings.Code->LateEdgeMs),
      portNames_(settings.PortNames),
      zone_(settings.Zone),
      soundDescription_(!settings.AudioDevice.empty() ? "; the time code as sound on " + settings.AudioDevice
                        : settings.Tone               ? "; a beep with each pulse"
                                                      : ""),
      lines_(switches_, report_),
      status_(*settings.Code, lines_, platform::AliveInterval()) {
  switches_.Tone = settings.Tone;
  switches_.InvertOutput = settings.InvertOutput;
  switches_.WrongParities = settings.WrongParities;
  outputs_.push_back(&lines_);
  if (host != nullptr) outputs_.push_back(host);
  if (settings.Frames) {
    frames_ = std::make_unique<output::FrameLines>(*settings.Code, stdout);
    outputs_.push_back(frames_.get());
  }
  // Without a window the beep cannot be switched on later: no sound thread at all where it starts off.
  const bool timeCode = !settings.AudioDevice.empty();
  if (timeCode || settings.Tone || !settings.NoWindow) {
    sound_ = std::make_unique<output::SoundOutput>(SoundFor(settings), timeCode ? nullptr : &switches_.Tone, report_);
    outputs_.push_back(sound_.get());
  }
  outputs_.push_back(&status_);
}

std::vector<PortFailure> Transmitter::OpenPorts(bool waitForThem) {
  std::vector<PortFailure> failed;
  std::vector<std::string> waitedFor;  // told only if the program does not end for a name it cannot use
  for (const std::string& name : portNames_) {
    // A name that stands for no serial port at all (a file, /dev/null, a pseudo-terminal) is never waited for.
    const platform::PortOpening port = lines_.AddPort(name.c_str(), waitForThem);
    if (port.handle != platform::kNoPort) continue;
    const std::string device = name == port.device ? name : name + " (" + port.device + ")";
    if (port.noSerialPort != nullptr) {
      failed.push_back({name, device + " is no serial port: " + port.noSerialPort, true});
      continue;
    }
    char reason[512];
    platform::DescribeOpenError(port.error, port.device, reason, sizeof reason);
    const std::string line = "cannot " + std::string(port.failedStep) + " the port " + device + ": " + reason;
    if (!waitForThem) {
      failed.push_back({name, line, false});
      continue;
    }
    waitedFor.push_back(line + "; trying it again every second");
  }
  if (failed.empty()) {
    for (const std::string& line : waitedFor) report_(platform::Severity::Error, line.c_str());
  }
  return failed;
}

void Transmitter::TimerTick() {
  // One clock reading per tick, so that the time shown and the time sent never straddle a midnight.
  const timecode::ClockReading reading = clock_.Read();
  guard_.CheckClock(reading);
  const timecode::Tick tick = engine_.TimerTick(reading, switches_.WrongParities.load(std::memory_order_relaxed));
  if (tick.NewSecond) {
    guard_.NewSecond(reading);
    for (output::Output* output : outputs_) output->NewSecond(engine_.CurrentTime());
  }
  // The gate is asked as a pulse begins, so that one already running when it closes runs its course: a bit cut short
  // would be read as another bit. A spoiled minute has nothing more sent, the pulse under way included.
  if (tick.Reduced && !pulseOn_) pulseHeldBack_ = gate_.Holding();
  pulseHeldBack_ = pulseHeldBack_ || guard_.Spoiled();
  pulseOn_ = tick.Reduced;
  const bool on = tick.Reduced && !pulseHeldBack_;
  for (output::Output* output : outputs_) output->SetPulse(on);
  // When an edge went out, by the clock read once the lines have changed, against the grid point it was due at; a
  // pulse that ran on into a second that begins with one has lost the edge between them, due at the second's start.
  const bool edgeLost = tick.NewSecond && tick.ChangedAt < 0 && tick.Reduced;
  if ((tick.ChangedAt >= 0 || edgeLost) && !pulseHeldBack_) {
    const std::int64_t secondBegan = reading.WallNanos - reading.WallNanos % kNanosPerSecond;
    const std::int64_t due = secondBegan + std::max(tick.ChangedAt, 0) * kNanosPerTick;
    guard_.CheckEdge(tick.Reduced, due, clock_.WallNanos(), reading);
  }
  if (guard_.TakeNews()) Spoiled();
  if (tick.NewSecond) SecondBegun(reading);
}

std::string Transmitter::Describe(const timecode::LocalTime& now) const {
  const timecode::TimeCode& code = engine_.Code();
  char text[768];
  timecode::TextLine line(text, sizeof text);
  line.Add("%s (%s, %g kHz), ", code.Title, code.Country, code.CarrierHz / 1000.0);
  if (zone_.empty()) {  // the system's zone, rather than one the code or --zone names
    line.Add("the PC's local time");
  } else {
    line.Add("the time of %s", zone_.c_str());
  }
  if (zone_ != now.Zone) {  // not "the time of UTC (UTC)"
    line.Add(" (");
    line.AddZone(now);
    line.Add(")");
  }
  char ports[512];
  lines_.DescribePorts(ports, sizeof ports);
  line.Add(", %s%s", ports, soundDescription_.c_str());
  return text;
}

void Transmitter::ReportStart(const std::string& timing) {
  const platform::ClockSyncState sync = clock_.Synchronisation();
  syncKnown_ = true;
  lastSync_ = sync.sync;
  const timecode::LocalTime start = clock_.Read().Now;
  std::string line = "sending " + Describe(start);
  if (clock_.OffsetSeconds() != 0) {
    char chosen[64];
    std::snprintf(chosen, sizeof chosen, "; a chosen time, from %04d-%02d-%02d %02d:%02d:%02d", start.Year, start.Month,
                  start.Day, start.Hour, start.Minute, start.Second);
    line += chosen;
  }
  report_(platform::Severity::Notice, (line + "; " + timing + "; " + ClockSyncReport(sync, gate_.Holding())).c_str());
}

// Told once: the lines go idle at once, the sound no later than its next tick period.
void Transmitter::Spoiled() {
  char line[224];
  std::snprintf(line, sizeof line, "nothing more is sent in this minute: %s; sending again from the next minute mark",
                guard_.Why());
  report_(platform::Severity::Warning, line);
  for (output::Output* output : outputs_) output->MinuteSpoiled(guard_.Why());
}

// Once the new second's pulse has begun, so that nothing here delays it: the clock's synchronisation read and told to
// the gate, and the next second shaped for the outputs that send ahead of time.
void Transmitter::SecondBegun(const timecode::ClockReading& reading) {
  const bool sent = !gate_.Holding() && !guard_.Spoiled();
  const platform::ClockSyncState sync = clock_.Synchronisation();
  gate_.Tell(sync.sync == platform::ClockSync::Synchronised, reading.Now.Second);
  if (!syncKnown_ || sync.sync != lastSync_) {
    syncKnown_ = true;
    lastSync_ = sync.sync;
    report_(sync.sync == platform::ClockSync::Synchronised ? platform::Severity::Info : platform::Severity::Warning,
            ClockSyncReport(sync, gate_.Holding()).c_str());
  }

  // The next second's reading: the same minute one second on, or the next minute's first second. It begins a second
  // after this one on the steady clock, however the wall clock shows it: at the kernel's leap second, 23:59:59 again.
  const std::int64_t second = reading.TickCount / timecode::kTicksPerSecond;
  timecode::ClockReading next = reading;
  if (reading.Now.Second + 1 < reading.SecondsInMinute) {
    ++next.Now.Second;
    next.TickCount = (second + 1) * timecode::kTicksPerSecond;
  } else {
    next = clock_.At(second + 1);
  }
  std::uint8_t parityCount = engine_.ParityCount();
  const timecode::SecondPattern ahead =
      engine_.Code().SecondAt(next, switches_.WrongParities.load(std::memory_order_relaxed), parityCount);

  const output::BegunSecond begun{
      .Reading = reading,
      .Time = engine_.CurrentTime(),
      .Pattern = engine_.Pattern(),
      .Sent = sent,
      .Spoiled = guard_.Spoiled() ? guard_.Why() : nullptr,
      .Next = ahead,
      .NextHeld = gate_.Holding() || guard_.HoldsBack(next),
      .NextSteadyNanos = reading.SteadyNanos - reading.WallNanos % kNanosPerSecond + kNanosPerSecond,
      .Sync = sync,
      .PortTrouble = lines_.Trouble()};
  for (output::Output* output : outputs_) output->SecondBegun(begun);
}
