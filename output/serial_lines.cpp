// SPDX-License-Identifier: MIT
#include "output/serial_lines.h"

#include <cstdio>
#include <cstring>
#include <span>
#include <utility>

#include "timecode/tick_engine.h"

namespace output {

PulseLinks Links;
bool HoldingPulses = false;

namespace {

// A port that is away is tried again on the idle tick this many ticks after the last pulse began, and every
// second's worth of idle ticks after that: never on a tick that starts a pulse, and far enough from the next
// one that an opening which takes a while cannot delay it.
constexpr int kIdleTicksBeforeRetry = 40;

struct Port {
  // The name the user gave, to open the port again by, and that name with the device it stands for, to report.
  char name[platform::kDevicePathSize] = "";
  char title[2 * platform::kDevicePathSize + 3] = "";
  platform::PortHandle handle = platform::kNoPort;
  bool away = false;          // not open: gone, or not there yet; tried again until it opens
  bool openedOnce = false;    // it has been open: when it opens again, it is back
  bool backToReport = false;  // opened again, to be reported once it has taken its lines
  bool lossToReport = false;
  platform::SystemError lostBecause = 0;
  // Only a port that has taken a line change can go away: one that refuses from the start, as Wine refuses a port
  // opened only for writing, was never there to lose, and opening it again would change nothing.
  bool tookLines = false;
  bool linesSet = false;               // the last pair went through
  bool linesShowPulse = false;         // and set the lines for a pulse
  platform::SystemError failure = 0;   // of the last pair, 0 if it went through
  platform::SystemError reported = 0;  // the failure last told of
};

Port Ports[kMostPorts];
int PortCount = 0;
int IdleTicks = 0;  // since the last pulse began, counted round a second's worth
bool PulseOn = false;
bool PulseHeldBack = false;  // the gate was closed as the running pulse began

// The one report line, composed after the tick's line changes.
char ReportLine[2 * platform::kDevicePathSize + 256];

void Report(platform::Severity severity, const char* format, const Port& port, const char* reason = "") {
  std::snprintf(ReportLine, sizeof ReportLine, format, port.title, reason);
  Links.Report(severity, ReportLine);
}

void Open(Port& port) {
  const platform::PortOpening opening = platform::OpenSerialPort(port.name);
  if (opening.handle == platform::kNoPort) return;
  port.handle = opening.handle;
  port.away = false;
  port.backToReport = true;
  port.linesSet = false;
}

// Changes one line; false if it failed, and if that means the port has gone, it is closed.
bool Change(Port& port, platform::LineChange change) {
  const platform::SystemError error = platform::ChangeLine(port.handle, change);
  port.failure = error;
  if (error == 0) {
    port.tookLines = true;
    return true;
  }
  if (!port.tookLines || !platform::MeansPortGone(error)) return false;
  platform::CloseSerialPort(port.handle);
  port.handle = platform::kNoPort;
  port.away = true;
  // A port that goes again as soon as it is back was never reported back, so its loss is not reported either.
  port.lossToReport = !port.backToReport;
  port.backToReport = false;
  port.lostBecause = error;
  return false;
}

void SetLines(Port& port, bool on, bool lineLevel) {
  if (port.away || (on && port.linesShowPulse && port.linesSet)) return;
  const auto [off, set] = lineLevel ? std::pair(platform::LineChange::ClearDtr, platform::LineChange::SetRts)
                                    : std::pair(platform::LineChange::ClearRts, platform::LineChange::SetDtr);
  port.linesSet = Change(port, off) && Change(port, set);
  port.linesShowPulse = on;
}

void ReportWhatChanged(Port& port) {
  char reason[128];
  if (port.lossToReport) {
    platform::DescribeSystemError(port.lostBecause, reason, sizeof reason);
    Report(platform::Severity::Error, "lost the port %s: changing its lines: %s; trying it again every second", port,
           reason);
    port.lossToReport = false;
  }
  if (port.away) return;
  if (port.linesSet && port.backToReport) {
    Report(platform::Severity::Notice,
           port.openedOnce ? "the port %s is back; the pulses go on from the next second"
                           : "the port %s is open now; the pulses go on from the next second",
           port);
    port.backToReport = false;
    port.openedOnce = true;
  }
  if (port.failure == port.reported) return;
  port.reported = port.failure;
  platform::DescribeSystemError(port.failure, reason, sizeof reason);
  if (port.failure == 0) {
    Report(platform::Severity::Notice, "the port %s takes its line changes now", port);
  } else if (!port.tookLines) {
    Report(platform::Severity::Warning, "the port %s does not take line changes: %s; only the lamp shows the pulses",
           port, reason);
  } else {
    Report(platform::Severity::Warning, "changing the lines of the port %s failed: %s; tried again at every tick", port,
           reason);
  }
}

}  // namespace

platform::PortOpening AddPort(const char* name, bool waitForIt) {
  const platform::PortOpening opening = platform::OpenSerialPort(name);
  if ((opening.handle == platform::kNoPort && !waitForIt) || PortCount == kMostPorts) return opening;
  Port& port = Ports[PortCount++];
  port = Port{};
  std::snprintf(port.name, sizeof port.name, "%s", name);
  if (std::strcmp(name, opening.device) == 0) {
    std::snprintf(port.title, sizeof port.title, "%s", name);
  } else {
    std::snprintf(port.title, sizeof port.title, "%s (%s)", name, opening.device);
  }
  port.handle = opening.handle;
  port.away = opening.handle == platform::kNoPort;
  port.openedOnce = !port.away;
  return opening;
}

// Told during second 59, after its tick, the gate opens in time for the pulse of second 0; in a minute with
// a leap second that is told again in its second 60, the minute mark then.
void GateSending(bool clockSynchronised, std::uint8_t second) {
  constexpr std::uint8_t kLastSecondOfAMinute = 59;
  if (!clockSynchronised) {
    HoldingPulses = true;
  } else if (second >= kLastSecondOfAMinute) {
    HoldingPulses = false;
  }
}

void SetPulse(bool on) {
  // The gate is asked as a pulse begins, so that one already running when it closes runs its course.
  if (on && !PulseOn) PulseHeldBack = HoldingPulses;
  PulseOn = on;
  if (PulseHeldBack) on = false;
  Links.ShowLamp(on);
  const bool lineLevel = Links.InvertOutputChecked() ? !on : on;
  IdleTicks = on ? 0 : (IdleTicks + 1) % timecode::kTicksPerSecond;
  for (Port& port : std::span(Ports, PortCount)) {
    if (port.away && IdleTicks == kIdleTicksBeforeRetry) Open(port);
    SetLines(port, on, lineLevel);
  }
  for (Port& port : std::span(Ports, PortCount)) ReportWhatChanged(port);
}

void DescribePorts(char* text, std::size_t size) {
  std::size_t used = 0;
  for (const bool away : {false, true}) {
    const char* before = away ? (used > 0 ? "; waiting for " : "waiting for ") : "on ";
    for (const Port& port : std::span(Ports, PortCount)) {
      if (port.away != away || used >= size) continue;
      const int written = std::snprintf(text + used, size - used, "%s%s", before, port.title);
      used += written > 0 ? static_cast<std::size_t>(written) : 0;
      before = " and ";
    }
  }
  if (PortCount == 0 && size > 0) std::snprintf(text, size, "on no port");
}

void ClosePorts() {
  for (Port& port : std::span(Ports, PortCount)) {
    if (port.handle != platform::kNoPort) platform::CloseSerialPort(port.handle);
  }
  PortCount = IdleTicks = 0;
  PulseOn = PulseHeldBack = false;
}

}  // namespace output
