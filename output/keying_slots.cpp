// SPDX-License-Identifier: MIT
#include "output/keying_slots.h"

namespace output {

bool KeyingSlots::KeyingFor(std::int64_t unixSecond, SecondKeying& keying) {
  Slot& slot = SlotOf(unixSecond);
  if (slot.second.load(std::memory_order_acquire) != unixSecond) return false;
  keying.pattern.Low = slot.low.load(std::memory_order_relaxed);
  keying.pattern.High = slot.high.load(std::memory_order_relaxed);
  keying.pattern.Symbol = slot.symbol.load(std::memory_order_relaxed);
  keying.silent = slot.silent.load(std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_acquire);
  return slot.second.load(std::memory_order_relaxed) == unixSecond;
}

void KeyingSlots::Feed(std::int64_t unixSecond, const SecondKeying& keying) {
  Slot& slot = SlotOf(unixSecond);
  slot.second.store(INT64_MIN, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  slot.low.store(keying.pattern.Low, std::memory_order_relaxed);
  slot.high.store(keying.pattern.High, std::memory_order_relaxed);
  slot.symbol.store(keying.pattern.Symbol, std::memory_order_relaxed);
  slot.silent.store(keying.silent, std::memory_order_relaxed);
  slot.second.store(unixSecond, std::memory_order_release);
}

}  // namespace output
