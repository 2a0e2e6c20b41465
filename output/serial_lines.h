// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/report.h"
#include "platform/serial_port.h"

// The pulse output: the lamp, and the DTR and RTS lines of every port driven, always in opposite senses.

namespace output {

// What the pulse output asks of its host: the lamp and the polarity switch, read at every pulse; and a line for
// the user when a port goes away, is back, or refuses its line changes.
struct PulseLinks {
  void (*ShowLamp)(bool on) = nullptr;
  bool (*InvertOutputChecked)() = nullptr;
  void (*Report)(platform::Severity severity, const char* line) = nullptr;
};

extern PulseLinks Links;

// The most ports one program drives.
inline constexpr int kMostPorts = 16;

// While set, every pulse is held back: the lines stay at their idle levels and the lamp stays dark. A pulse
// already running when it is set runs its course: a bit cut short would be read as another bit.
extern bool HoldingPulses;

// The guard against sending a wrong time, told once a second, after that second's pulse has begun, whether
// the PC's clock is synchronised. It holds the pulses back as soon as it is not, and lets them through again
// only from a minute mark on, so that a receiver never sees a frame that began while the clock was not
// synchronised: the first pulse sent again is that of second 0.
void GateSending(bool clockSynchronised, std::uint8_t second);

// Opens the port of that name (COMn, or a device path on Linux), which fails if it is missing or held by
// another program, a running copy of this one, say, and adds it to the ports driven. One that fails is added
// only if `waitForIt`, closed and tried again about once a second as one that went away is, until it opens.
platform::PortOpening AddPort(const char* name, bool waitForIt);

// Shows or hides the lamp and sets the lines of every port for a pulse that is on or off; called on every tick.
// Checked InvertOutput: DTR set and RTS clear during a pulse, the reverse between pulses; unchecked, the other
// way round. The line being switched off is cleared before the other is set, and the other is set only if that
// worked, so both are never set at once; a pair that failed is tried again at the next tick. A pulse's lines are
// set as it begins and left as they are while it runs; the idle levels are set again at every idle tick, so a
// change of polarity shows at once between pulses.
//
// A port whose device goes away, a USB adapter pulled out, is closed at once and opened again about once
// a second, half-way through a second, on a tick without a pulse; once it is back, this tick sets the idle
// levels and the next second's pulse goes out on it. A port whose line changes fail for another reason, or
// that has never taken one (a pseudo-terminal, say), is kept. Each port's loss, its return, and any change in
// whether it takes its line changes are reported once, after every port's lines are set. The lamp follows the
// pulses throughout.
//
// A pulse that begins while HoldingPulses is held back for its whole length.
void SetPulse(bool on);

// Where the pulses go, for a line on what is sent: "on COM1 (/dev/ttyS0) and /dev/ttyUSB0; waiting for COM3".
void DescribePorts(char* text, std::size_t size);

// Gives every port back, without setting the lines first; closing may clear them (platform::CloseSerialPort).
// A port that has gone is no longer tried, and the pulse output is as it was before the first port was added.
void ClosePorts();

}  // namespace output
