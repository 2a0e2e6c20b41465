// SPDX-License-Identifier: MIT
#include "output/serial_lines.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <utility>

#include "timecode/tick_engine.h"

namespace output {

PulseLinks Links;
platform::PortHandle PortHandle = platform::kNoPort;
bool HoldingPulses = false;

namespace {

// A port that went away is tried again on the idle tick this many ticks after the last pulse began, and
// every second's worth of idle ticks after that: never on a tick that starts a pulse, and far enough from
// the next one that an opening which takes a while cannot delay it.
constexpr int kTicksPerSecond = std::chrono::seconds(1) / timecode::kTickPeriod;
constexpr int kIdleTicksBeforeRetry = 40;

// The name the user gave, to open the port again by, and that name with the device it stands for, to report.
char PortName[platform::kDevicePathSize] = "";
char PortTitle[2 * platform::kDevicePathSize + 3] = "";

bool PortGone = false;      // the device went away; it is tried again until it is back
bool LossReported = false;  // the user has been told, at the first moment for trying it again
bool BackToReport = false;  // opened again, to be reported once it has taken its lines
platform::SystemError LostBecause = 0;
int IdleTicks = 0;  // since the last pulse began, counted round a second's worth
// Only a port that has taken a line change can go away: one that refuses from the start, as Wine refuses a port
// opened only for writing, was never there to lose, and opening it again would change nothing.
bool PortTookLines = false;

// The one report line, composed at a moment for trying the port again, never at a tick that starts a pulse.
char ReportLine[sizeof PortTitle + 256];

void TryThePortAgain() {
  if (!LossReported) {
    char reason[128];
    platform::DescribeSystemError(LostBecause, reason, sizeof reason);
    std::snprintf(ReportLine, sizeof ReportLine,
                  "lost the port %s: changing its lines: %s; trying it again every second", PortTitle, reason);
    Links.Report(ReportLine);
    LossReported = true;
  }
  const platform::PortOpening opening = platform::OpenSerialPort(PortName);
  if (opening.handle == platform::kNoPort) return;
  PortHandle = opening.handle;
  PortGone = false;
  BackToReport = true;
}

// Changes one line; false if the port has gone, which closes it. A port that goes again as soon as it is
// back was never reported back, so its loss is not reported again either.
bool Change(platform::LineChange change) {
  const platform::SystemError error = platform::ChangeLine(PortHandle, change);
  if (error == 0) PortTookLines = true;
  if (!PortTookLines || !platform::MeansPortGone(error)) return true;
  platform::CloseSerialPort(PortHandle);
  PortHandle = platform::kNoPort;
  PortGone = true;
  LossReported = BackToReport;
  BackToReport = false;
  LostBecause = error;
  return false;
}

}  // namespace

platform::PortOpening OpenPort(const char* name) {
  const platform::PortOpening opening = platform::OpenSerialPort(name);
  std::snprintf(PortName, sizeof PortName, "%s", name);
  if (std::strcmp(name, opening.device) == 0) {
    std::snprintf(PortTitle, sizeof PortTitle, "%s", name);
  } else {
    std::snprintf(PortTitle, sizeof PortTitle, "%s (%s)", name, opening.device);
  }
  PortHandle = opening.handle;
  PortGone = BackToReport = PortTookLines = false;
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
  if (HoldingPulses) on = false;
  Links.ShowLamp(on);
  const bool lineLevel = Links.InvertOutputChecked() ? !on : on;
  IdleTicks = on ? 0 : (IdleTicks + 1) % kTicksPerSecond;
  if (PortGone && IdleTicks == kIdleTicksBeforeRetry) TryThePortAgain();
  // Without a port there is nothing to switch; a descriptor number that is not ours may belong to
  // any other file by now.
  if (PortHandle == platform::kNoPort) return;
  const auto [first, second] = lineLevel ? std::pair(platform::LineChange::ClearDtr, platform::LineChange::SetRts)
                                         : std::pair(platform::LineChange::ClearRts, platform::LineChange::SetDtr);
  if (Change(first) && Change(second) && BackToReport) {
    std::snprintf(ReportLine, sizeof ReportLine, "the port %s is back; the pulses go on from the next second",
                  PortTitle);
    Links.Report(ReportLine);
    BackToReport = false;
  }
}

void ClosePort() {
  PortGone = BackToReport = false;
  if (PortHandle == platform::kNoPort) return;
  platform::CloseSerialPort(PortHandle);
  PortHandle = platform::kNoPort;
}

}  // namespace output
