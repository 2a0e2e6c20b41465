// SPDX-License-Identifier: MIT
// The tick must not allocate. Global operator new is replaced here with a counting one, which is why this is a
// program of its own.

#include <cstdlib>
#include <new>

#include "tests/simulated_clock.h"

static std::size_t Allocations = 0;

void* operator new(std::size_t size) {
  ++Allocations;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

using namespace simulated;

// Second 23 carries a 1: a new second, a lengthened pulse counted down with the tone on, then idle ticks.
TEST_F(SimulatedClockTest, NewSecondCountingAndIdleTicksAllocateNothing) {
  Now = kMinute + 23s;
  Ticks.reserve(kTicksPerSecond);  // so that the recording allocates nothing either
  const std::size_t before = Allocations;
  RunUntil(Now + 1s);
  EXPECT_EQ(Allocations, before);
  EXPECT_EQ(Ticks.front(), (TickRecord{Ticks.front().at, true, 23, 1}));
}

}  // namespace
