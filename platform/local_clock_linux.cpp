// SPDX-License-Identifier: MIT
#include <time.h>

#include "platform/local_clock.h"

namespace platform {

timecode::ClockReading ReadLocalClock() {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  return LocalClockAt(now.tv_sec + ClockOffsetSeconds);
}

}  // namespace platform
