// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>

#include "output/output.h"
#include "output/serial_lines.h"

namespace output {

// What the service manager that started the program hears of it, if one did: once a minute a line on what is sent,
// where, and whether the PC clock can be trusted; and that the program is alive, from its tick, as often as the
// manager wants to hear it.
class ServiceStatus : public Output {
 public:
  // `aliveInterval`: how often the manager wants to hear it, zero if it does not.
  ServiceStatus(const timecode::TimeCode& code, const SerialLines& lines, std::chrono::microseconds aliveInterval);

  void SetPulse(bool on) override;
  void SecondBegun(const BegunSecond& second) override;

 private:
  const timecode::TimeCode& code_;
  const SerialLines& lines_;
  int ticksPerAliveSign_;  // 0: none wanted
  int ticksSinceAliveSign_ = 0;
  int statusMinute_ = -1;  // the minute of the last status line
  char line_[256] = "";
};

}  // namespace output
