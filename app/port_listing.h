// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>

// The serial ports present, one a line, each by the name --port takes, with what is known of it:
//   COM1 (/dev/ttyS0)
//   /dev/ttyUSB0: USB 0403:6001 FTDI FT232R USB UART, serial number A9X1; stable name /dev/serial/by-id/usb-…
void PrintPortList(std::FILE* out);
