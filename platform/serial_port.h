#pragma once

#include <cstdint>

// The first serial port, used only as a pair of switchable control lines: no byte is ever written
// and its speed, framing and handshake are never set.

namespace platform {

// A port as the operating system hands it out: a file descriptor on Linux, a HANDLE on Windows.
using PortHandle = std::intptr_t;

// No port: never opened, failed to open, or closed. Not 0, which on Linux is standard input.
inline constexpr PortHandle kNoPort = -1;

// One control-line change, numbered as the Windows escape codes are.
enum class LineChange : int { SetRts = 3, ClearRts = 4, SetDtr = 5, ClearDtr = 6 };

// Opens the port the program calls by its Windows name ("COM1": /dev/ttyS0 on Linux) for writing
// only and exclusively, an existing device only. kNoPort if it is missing or held by another program.
// Linux sets both DTR and RTS as it opens a serial port; they stay so until the first line change.
PortHandle OpenSerialPort(const char* name);

// Sets or clears one line of an open port. Returns nothing: the result cannot be acted on within a
// tick, and a port that has gone (an adapter pulled out) simply stops changing its lines.
void ChangeLine(PortHandle port, LineChange change);

// Gives an open port back, without setting its lines first. Linux then clears both DTR and RTS, as
// the port's HUPCL setting asks, which is on by default for serial ports and is never changed here; on
// Windows the port's driver decides (the standard one clears both too).
void CloseSerialPort(PortHandle port);

}  // namespace platform
