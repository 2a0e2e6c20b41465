// SPDX-License-Identifier: MIT
#include "output/port_lines.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace output {

PortLines::PortLines(const char* name, const platform::PortOpening& opening)
    : handle_(opening.handle), away_(opening.handle == platform::kNoPort), openedOnce_(!away_) {
  std::snprintf(name_, sizeof name_, "%s", name);
  if (std::strcmp(name, opening.device) == 0) {
    std::snprintf(title_, sizeof title_, "%s", name);
  } else {
    std::snprintf(title_, sizeof title_, "%s (%s)", name, opening.device);
  }
}

// Without setting the lines first; closing may clear them (platform::CloseSerialPort).
PortLines::~PortLines() {
  if (handle_ != platform::kNoPort) platform::CloseSerialPort(handle_);
}

void PortLines::TryAgain() {
  const platform::PortOpening opening = platform::OpenSerialPort(name_);
  if (opening.handle == platform::kNoPort) return;
  handle_ = opening.handle;
  away_ = false;
  backToReport_ = true;
  linesSet_ = false;
}

// Changes one line; false if it failed, and if that means the port has gone, it is closed.
bool PortLines::Change(platform::LineChange change) {
  const platform::SystemError error = platform::ChangeLine(handle_, change);
  failure_ = error;
  if (error == 0) {
    tookLines_ = true;
    return true;
  }
  if (!tookLines_ || !platform::MeansPortGone(error)) return false;
  platform::CloseSerialPort(handle_);
  handle_ = platform::kNoPort;
  away_ = true;
  // A port that goes again as soon as it is back was never reported back, so its loss is not reported either.
  lossToReport_ = !backToReport_;
  backToReport_ = false;
  lostBecause_ = error;
  return false;
}

void PortLines::SetLines(bool on, bool lineLevel) {
  if (away_ || (on && linesShowPulse_ && linesSet_)) return;
  const auto [off, set] = lineLevel ? std::pair(platform::LineChange::ClearDtr, platform::LineChange::SetRts)
                                    : std::pair(platform::LineChange::ClearRts, platform::LineChange::SetDtr);
  linesSet_ = Change(off) && Change(set);
  linesShowPulse_ = on;
}

void PortLines::Tell(const platform::Reporter& report, platform::Severity severity, const char* format,
                     const char* reason) {
  char line[sizeof title_ + 256];
  std::snprintf(line, sizeof line, format, title_, reason);
  report(severity, line);
}

void PortLines::ReportWhatChanged(const platform::Reporter& report) {
  char reason[128];
  if (lossToReport_) {
    platform::DescribeSystemError(lostBecause_, reason, sizeof reason);
    Tell(report, platform::Severity::Error, "lost the port %s: changing its lines: %s; trying it again every second",
         reason);
    lossToReport_ = false;
  }
  if (away_) return;
  if (linesSet_ && backToReport_) {
    Tell(report, platform::Severity::Notice,
         openedOnce_ ? "the port %s is back; the pulses go on from the next second"
                     : "the port %s is open now; the pulses go on from the next second");
    backToReport_ = false;
    openedOnce_ = true;
  }
  if (failure_ == reported_) return;
  reported_ = failure_;
  platform::DescribeSystemError(failure_, reason, sizeof reason);
  if (failure_ == 0) {
    Tell(report, platform::Severity::Notice, "the port %s takes its line changes now");
  } else if (!tookLines_) {
    Tell(report, platform::Severity::Warning,
         "the port %s does not take line changes: %s; only the lamp shows the pulses", reason);
  } else {
    Tell(report, platform::Severity::Warning, "changing the lines of the port %s failed: %s; tried again at every tick",
         reason);
  }
}

}  // namespace output
