// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

// The names a user gives a serial port, and the devices they stand for.

namespace platform {

// Room for the device of any port name the program accepts, with its terminating zero.
inline constexpr std::size_t kDevicePathSize = 256;

// n for "COMn" (in any case, n from 1), the name both systems know their serial ports by; 0 for any other name.
unsigned ComPortNumber(const char* name);

// Writes the device that a port name stands for into path. "COMn" is the n-th serial port: /dev/ttyS(n-1) on
// Linux, \\.\COMn on Windows. On Linux an absolute path, such as /dev/ttyUSB0 or a stable
// /dev/serial/by-id/… link, stands for itself. False for any other name, and for one too long.
bool DevicePathFor(const char* name, char (&path)[kDevicePathSize]);

// Whether two devices, as DevicePathFor writes them, are one port. On Linux, two paths to the same character device,
// such as a /dev/serial/by-id/… link and its target, by the device's numbers; otherwise, as for a port not plugged in
// yet, which cannot be looked at, only the same path. On Windows, \\.\COMn is the one path of its port.
bool SamePort(const char* device, const char* other);

}  // namespace platform
