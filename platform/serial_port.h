// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "platform/port_error.h"
#include "platform/port_name.h"

// A serial port, used only as a pair of switchable control lines: no byte is ever written and its speed,
// framing and handshake are never set.

namespace platform {

// A port as the operating system hands it out: a file descriptor on Linux, a HANDLE on Windows.
using PortHandle = std::intptr_t;

// No port: never opened, failed to open, or closed. Not 0, which on Linux is standard input.
inline constexpr PortHandle kNoPort = -1;

// One control-line change, numbered as the Windows escape codes are.
enum class LineChange : int { SetRts = 3, ClearRts = 4, SetDtr = 5, ClearDtr = 6 };

// How opening went: the port, or what failed and why, and in either case the device tried.
struct PortOpening {
  PortHandle handle = kNoPort;
  // What could not be done to the device, to follow "cannot": "open", "lock", "keep other programs out of".
  const char* failedStep = "";
  SystemError error = 0;
  // Where the name stands for something that is no serial port, and never will be, why: "it is a regular file".
  const char* noSerialPort = nullptr;
  char device[kDevicePathSize] = {};
};

// Opens the port of that name (see DevicePathFor) for writing only and exclusively, an existing device only, and
// one that takes modem-control requests. Allocates nothing. Linux sets both DTR and RTS as it opens a serial port;
// they stay so until the first line change.
PortOpening OpenSerialPort(const char* name);

// Sets or clears one line of an open port: 0, or the system's error.
SystemError ChangeLine(PortHandle port, LineChange change);

// Whether an error of ChangeLine means that the device itself has gone, a USB adapter pulled out, so that the
// port is of no further use. Other errors, such as those of a device without modem lines, do not.
bool MeansPortGone(SystemError error);

// Gives an open port back, without setting its lines first. Linux then clears both DTR and RTS, as
// the port's HUPCL setting asks, which is on by default for serial ports and is never changed here; on
// Windows the port's driver decides (the standard one clears both too).
void CloseSerialPort(PortHandle port);

}  // namespace platform
