// The tick must not allocate. Global operator new is replaced here with a counting one, which is why
// this is a program of its own.

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

std::size_t AllocationsDuring(int ticks) {
  Ticks.reserve(Ticks.size() + ticks);  // so that the recording allocates nothing either
  const std::size_t before = Allocations;
  RunUntil(Now + ticks * kTick);
  return Allocations - before;
}

TEST_F(SimulatedClockTest, NewSecondAndCommonTicksAllocateNothing) {
  ToneOn = true;
  Now = Utc(2025y / May / 14, 21h, 33min) + 23s;  // a 1-bit: lengthened, counted and beeping
  EXPECT_EQ(AllocationsDuring(1), 0U) << "new-second tick";
  EXPECT_EQ(AllocationsDuring(kTicksPerSecond - 1), 0U) << "counting and idle ticks";
  EXPECT_EQ(Ticks.front(), (TickRecord{Ticks.front().second, 1, 0, 1, 1}));
  EXPECT_EQ(Ticks.back().pulsesOff, 1);
}

TEST_F(SimulatedClockTest, RealClockReadingAllocatesNothing) {
  unsetenv("TZ");  // the zone as the program finds it
  tzset();
  timecode::Links.ReadClock = platform::ReadLocalClock;
  platform::ReadLocalClock();  // the C library sets up the zone on its first conversion
  ToneOn = true;
  EXPECT_EQ(AllocationsDuring(1000), 0U);
}

}  // namespace
