// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

// Why a call on a serial port failed, in the system's own words. Each writes at most size characters into
// text, its terminating zero included, and allocates nothing.

namespace platform {

// An error as the system numbers it: errno on Linux, GetLastError on Windows.
using SystemError = unsigned long;

// The system's own words for the error.
void DescribeSystemError(SystemError error, char* text, std::size_t size);

// The same for an error in opening the port at device, followed by what to do about it where there is
// something to do: for a port the user may not open, how to be allowed to; for one that another program
// holds, that it does.
void DescribeOpenError(SystemError error, const char* device, char* text, std::size_t size);

}  // namespace platform
