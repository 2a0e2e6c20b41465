// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "platform/serial_port.h"

// The pulse output: the lamp, and the port's DTR and RTS lines, always driven in opposite senses.

namespace output {

// What the pulse output asks of the window: the lamp and the polarity switch, read at every pulse; and a
// line for the user when the port goes away and when it is back.
struct PulseLinks {
  void (*ShowLamp)(bool on) = nullptr;
  bool (*InvertOutputChecked)() = nullptr;
  void (*Report)(const char* line) = nullptr;
};

extern PulseLinks Links;

// The port from start-up until the window closes; platform::kNoPort when it is not open.
extern platform::PortHandle PortHandle;

// While set, every pulse is held back: the lines stay at their idle levels and the lamp stays dark. A pulse
// already running when it is set runs its course: a bit cut short would be read as another bit.
extern bool HoldingPulses;

// The guard against sending a wrong time, told once a second, after that second's pulse has begun, whether
// the PC's clock is synchronised. It holds the pulses back as soon as it is not, and lets them through again
// only from a minute mark on, so that a receiver never sees a frame that began while the clock was not
// synchronised: the first pulse sent again is that of second 0.
void GateSending(bool clockSynchronised, std::uint8_t second);

// Opens the port of that name (COMn, or a device path on Linux), which fails if it is missing or held by
// another program, a running copy of this one, say.
platform::PortOpening OpenPort(const char* name);

// Shows or hides the lamp and sets the lines for a pulse that is on or off. Checked InvertOutput:
// DTR set and RTS clear during a pulse, the reverse between pulses; unchecked, the other way round.
// The line being switched off is cleared before the other is set, so both are never set at once.
//
// A port whose device goes away, a USB adapter pulled out, is closed at once and opened again about once
// a second, half-way through a second, on a tick without a pulse; once it is back, this tick sets the idle
// levels and the next second's pulse goes out on it. Both events are reported, the loss at the first of
// those moments. The lamp follows the pulses throughout.
//
// While HoldingPulses, every call is one for off.
void SetPulse(bool on);

// Gives the port back, without setting the lines first; closing may clear them (platform::CloseSerialPort).
// A port that has gone is no longer tried.
void ClosePort();

}  // namespace output
