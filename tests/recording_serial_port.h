// SPDX-License-Identifier: MIT
#pragma once

#include <cerrno>
#include <string>
#include <vector>

#include "platform/port_error.h"

// A stand-in for the serial port that records what is asked of it, one line per call:
// "open COM1", "clear DTR", "set RTS", "close". Line changes on anything but the port it handed out
// are recorded as "stray …".

namespace recording_port {

extern std::vector<std::string> Calls;
extern bool Missing;                     // opening fails, as for a port that is absent or held by someone else
extern platform::SystemError LineError;  // every line change fails so; 0 for none
inline constexpr platform::SystemError kGone = EIO;  // what a device that has gone answers

}  // namespace recording_port
