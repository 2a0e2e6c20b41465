// SPDX-License-Identifier: MIT
#include <sys/timex.h>

#include "platform/clock_sync.h"

namespace platform {

// The kernel's own judgement: TIME_ERROR whenever the clock is marked unsynchronised or its PPS discipline
// has failed, and STA_UNSYNC, which the daemon that steers the clock clears and the kernel sets again once
// the maximum error has grown to 16 s without an update.
ClockSyncState ClockSyncFromKernel(int clockState, int status, long estimatedErrorUs, long maximumErrorUs) {
  if (clockState < 0) return {};
  const bool synchronised = clockState != TIME_ERROR && (status & STA_UNSYNC) == 0;
  return {synchronised ? ClockSync::Synchronised : ClockSync::Unsynchronised,
          std::chrono::microseconds{estimatedErrorUs}, std::chrono::microseconds{maximumErrorUs}};
}

ClockSyncState ReadClockSync() {
  timex kernel{};  // modes 0: read only, which needs no privilege
  const int clockState = ::ntp_adjtime(&kernel);
  return ClockSyncFromKernel(clockState, kernel.status, kernel.esterror, kernel.maxerror);
}

}  // namespace platform
