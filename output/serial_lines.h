#pragma once

#include "platform/serial_port.h"

// The pulse output: the lamp, and the port's DTR and RTS lines, always driven in opposite senses.

namespace output {

// What the pulse output asks of the window: the lamp and the polarity switch, read at every pulse.
struct PulseLinks {
  void (*ShowLamp)(bool on) = nullptr;
  bool (*InvertOutputChecked)() = nullptr;
};

extern PulseLinks Links;

// The port from start-up until the window closes; platform::kNoPort when it is not open.
extern platform::PortHandle PortHandle;

// Opens "COM1"; false if it is missing or held by another program (a running copy of this one, say).
bool OpenPort();

// Shows or hides the lamp and sets the lines for a pulse that is on or off. Checked InvertOutput:
// DTR set and RTS clear during a pulse, the reverse between pulses; unchecked, the other way round.
// The line being switched off is cleared before the other is set, so both are never set at once.
void SetPulse(bool on);

// Gives the port back, without setting the lines first; closing may clear them (platform::CloseSerialPort).
void ClosePort();

}  // namespace output
