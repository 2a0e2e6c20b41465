// SPDX-License-Identifier: MIT
#pragma once

#include <sys/timerfd.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

// The system calls the Linux tick timer makes, as a seam: tests give it stand-ins that refuse an arming, set the
// clock at an awkward moment or report it set.

namespace platform {

struct TimerCalls {
  int (*ReadClock)(clockid_t clock, timespec* now);
  int (*SetTimer)(int fd, int flags, const itimerspec* expiry, itimerspec* previous);
  ssize_t (*ReadTimer)(int fd, void* buffer, size_t size);
};

inline constexpr TimerCalls kSystemTimerCalls = {clock_gettime, timerfd_settime, read};

}  // namespace platform
