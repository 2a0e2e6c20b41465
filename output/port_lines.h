// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>

#include "platform/report.h"
#include "platform/serial_port.h"

// One port driven by the pulse output: its DTR and RTS lines, whether it is there, and what is still to be told of it.

namespace output {

class PortLines {
 public:
  // A port of that name, and how opening it went.
  PortLines(const char* name, const platform::PortOpening& opening);
  PortLines(const PortLines&) = delete;
  PortLines& operator=(const PortLines&) = delete;
  ~PortLines();

  // Opens a port that is away again; it takes its lines from the next call of SetLines.
  void TryAgain();
  // Sets the lines for a pulse that is on or off, the lines' level chosen by the polarity. The line being switched off
  // is cleared before the other is set, and the other is set only if that worked, so both are never set at once. A
  // pulse's lines are set as it begins and left as they are while it runs.
  void SetLines(bool on, bool lineLevel);
  // Tells, once, its loss, its return, and any change in whether it takes its line changes.
  void ReportWhatChanged(const platform::Reporter& report);

  bool Away() const { return away_; }
  // Open, but its last line change failed.
  bool Refusing() const { return !away_ && failure_ != 0; }
  // Away after it was open: gone, rather than not there yet.
  bool Lost() const { return away_ && openedOnce_; }
  // The name the user gave: "COM1".
  const char* Name() const { return name_; }
  // The name the user gave, with the device it stands for where that differs: "COM1 (/dev/ttyS0)".
  const char* Title() const { return title_; }

 private:
  bool Change(platform::LineChange change);
  void Tell(const platform::Reporter& report, platform::Severity severity, const char* format, const char* reason = "");

  // The name the user gave, to open the port again by.
  char name_[platform::kDevicePathSize] = "";
  char title_[2 * platform::kDevicePathSize + 3] = "";
  platform::PortHandle handle_ = platform::kNoPort;
  // Atomic where a window reads them beside the tick's thread (Away, Refusing, Lost).
  std::atomic<bool> away_{false};        // not open: gone, or not there yet; tried again until it opens
  std::atomic<bool> openedOnce_{false};  // it has been open: when it opens again, it is back
  bool backToReport_ = false;            // opened again, to be reported once it has taken its lines
  bool lossToReport_ = false;
  platform::SystemError lostBecause_ = 0;
  // Only a port that has taken a line change can go away: one that refuses from the start, as Wine refuses a port
  // opened only for writing, was never there to lose, and opening it again would change nothing.
  bool tookLines_ = false;
  bool linesSet_ = false;                          // the last pair went through
  bool linesShowPulse_ = false;                    // and set the lines for a pulse
  std::atomic<platform::SystemError> failure_{0};  // of the last pair, 0 if it went through
  platform::SystemError reported_ = 0;             // the failure last told of
};

}  // namespace output
