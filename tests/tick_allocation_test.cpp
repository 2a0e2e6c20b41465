// SPDX-License-Identifier: MIT
// The tick must not allocate. Global operator new is replaced here with a counting one, which is why this is a
// program of its own.

#include <atomic>
#include <cstdlib>
#include <new>

#include "tests/simulated_clock.h"

static std::atomic<std::size_t> Allocations{0};

void* operator new(std::size_t size) {
  ++Allocations;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

using namespace simulated;

// Second 23 carries a 1: a new second, a lengthened pulse counted down, then idle ticks; and the minute's end, where
// the next minute's first second is shaped ahead. The first second, which reports the clock's state, goes before.
TEST_F(SimulatedClockTest, NewSecondCountingAndIdleTicksAllocateNothing) {
  Ticks().reserve(40 * kTicksPerSecond);  // so that the recording allocates nothing either
  clock.Now = kMinute + 22s;
  RunUntil(kMinute + 23s);
  const std::size_t before = Allocations;
  RunUntil(kMinute + 61s);
  const std::size_t after = Allocations;
  EXPECT_EQ(after, before);
  EXPECT_EQ(Ticks()[kTicksPerSecond], (TickRecord{kMinute + 23s, true, 23}));
}

}  // namespace
