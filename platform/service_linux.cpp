// SPDX-License-Identifier: MIT
#include <systemd/sd-daemon.h>

#include <cstdio>

#include "platform/service.h"

namespace platform {

// sd_notify sends nothing, and costs nothing, where NOTIFY_SOCKET is not set.
void TellReady() { ::sd_notify(0, "READY=1"); }

// Composed here rather than by sd_notifyf, which allocates: the status is told from the tick.
void TellStatus(const char* line) {
  char message[512];
  std::snprintf(message, sizeof message, "STATUS=%s", line);
  ::sd_notify(0, message);
}

void TellStopping() { ::sd_notify(0, "STOPPING=1"); }

std::chrono::microseconds AliveInterval() {
  std::uint64_t microseconds = 0;
  return std::chrono::microseconds{::sd_watchdog_enabled(0, &microseconds) > 0 ? microseconds : 0};
}

void TellAlive() { ::sd_notify(0, "WATCHDOG=1"); }

}  // namespace platform
