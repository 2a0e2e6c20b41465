// SPDX-License-Identifier: MIT
#include <time.h>

#include "platform/steady_clock.h"

namespace platform {

std::int64_t SteadyNanos() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * std::int64_t{1'000'000'000} + now.tv_nsec;
}

}  // namespace platform
