// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "timecode/tick_links.h"

// The transmitter: the clock, the engine and the outputs wired together once, for whichever host runs them, the
// window or none. A host adds only what is its own: where the time, the lamp and the clock's state are shown, and
// where the check boxes are read.

struct TransmitterHost {
  void (*ShowTime)(const timecode::TimeSample& now);  // at each new second, before its pulse
  void (*ShowLamp)(bool on);
  bool (*ToneChecked)();
  bool (*InvertOutputChecked)();
  bool (*ParityInverted)(timecode::ParityBit parity);
  void (*ShowClockSync)(const QString& text);  // when what there is to say of the PC clock changes
  void (*SecondShown)();                       // after the tick that began a new second
};

// Links the engine, the pulse output and the host, before the first tick; sets up the chosen time, the gate of
// --require-sync, --frames and the tone. The ports are not opened yet.
void StartTransmitter(const Settings& settings, const TransmitterHost& host);

// Opens the settings' ports, each reported where it cannot be opened, with the system's reason. With waitForThem,
// those are tried again every second until they open; the names of the others are returned.
std::vector<std::string> OpenPorts(const Settings& settings, bool waitForThem);

// One tick: the engine's, then, after a new second's pulse has begun, what is done once a second: the host's, the
// frame line, the clock's state, and for a service manager, a line once a minute on what is sent, and that the
// program is alive as often as it wants to hear it.
void TransmitterTick();

// Closes the ports and stops the tone.
void StopTransmitter();
