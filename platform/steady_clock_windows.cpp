// SPDX-License-Identifier: MIT
#include <windows.h>

#include "platform/steady_clock.h"

namespace platform {

// The counter's frequency is fixed at boot; a nanosecond count from it overflows only after 292 years of uptime.
std::int64_t SteadyNanos() {
  LARGE_INTEGER frequency{}, counter{};
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&counter);
  const std::int64_t perSecond = frequency.QuadPart;
  return counter.QuadPart / perSecond * 1'000'000'000 + counter.QuadPart % perSecond * 1'000'000'000 / perSecond;
}

}  // namespace platform
