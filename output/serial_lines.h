// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "output/output.h"
#include "output/port_lines.h"
#include "platform/report.h"
#include "platform/serial_port.h"

namespace output {

// The most ports one program drives.
inline constexpr int kMostPorts = 16;

// The pulse output on the DTR and RTS lines of every port driven, always in opposite senses.
//
// With InvertOutput on, DTR is set and RTS clear during a pulse, the reverse between pulses; off, the other way round.
// A pair that failed is tried again at the next tick. The idle levels are set again at every idle tick, so a change of
// polarity shows at once between pulses.
//
// A port whose device goes away, a USB adapter pulled out, is closed at once and opened again about once a second,
// half-way through a second, on a tick without a pulse; once it is back, that tick sets the idle levels and the next
// second's pulse goes out on it. A port whose line changes fail for another reason, or that has never taken one (a
// pseudo-terminal, say), is kept. Each port's loss, its return, and any change in whether it takes its line changes
// are reported once, after every port's lines are set.
class SerialLines : public Output {
 public:
  SerialLines(const Switches& switches, platform::Reporter report);

  // Opens the port of that name (COMn, or a device path on Linux), which fails if it is missing or held by another
  // program, a running copy of this one, say, and adds it to the ports driven. One that fails is added only if
  // `waitForIt`, and tried again about once a second as one that went away is, until it opens; one whose name stands
  // for no serial port at all, never.
  platform::PortOpening AddPort(const char* name, bool waitForIt);

  void SetPulse(bool on) override;

  // Where the pulses go, for a line on what is sent: "on COM1 (/dev/ttyS0) and /dev/ttyUSB0; waiting for COM3".
  void DescribePorts(char* text, std::size_t size) const;
  // The ports whose lines do not go out as sent, by the names the user gave: "COM1 lost, COM3 refuses its lines";
  // empty while all do. Trouble() changes whenever the text would, so a window composes it only then.
  void DescribeTrouble(char* text, std::size_t size) const;
  std::uint32_t Trouble() const;

 private:
  const Switches& switches_;
  platform::Reporter report_;
  std::vector<std::unique_ptr<PortLines>> ports_;  // made at start-up, never on a tick
  int idleTicks_ = 0;                              // since the last pulse began, counted round a second's worth
};

}  // namespace output
