// SPDX-License-Identifier: MIT
#include "output/keying_slots.h"

namespace output {

namespace {

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;

}  // namespace

bool KeyingSlots::Read(Slot& slot, SecondKeying& keying) {
  keying.startNanos = slot.start.load(std::memory_order_acquire);
  if (keying.startNanos == INT64_MIN) return false;
  keying.pattern.Low = slot.low.load(std::memory_order_relaxed);
  keying.pattern.High = slot.high.load(std::memory_order_relaxed);
  keying.pattern.Symbol = slot.symbol.load(std::memory_order_relaxed);
  keying.held = slot.held.load(std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_acquire);
  return slot.start.load(std::memory_order_relaxed) == keying.startNanos;
}

bool KeyingSlots::KeyingAt(std::int64_t nanos, SecondKeying& keying) {
  bool found = false;
  for (Slot& slot : slots_) {
    SecondKeying candidate;
    if (!Read(slot, candidate) || candidate.startNanos > nanos || nanos - candidate.startNanos >= kNanosPerSecond)
      continue;
    if (!found || candidate.startNanos > keying.startNanos) keying = candidate;
    found = true;
  }
  return found;
}

void KeyingSlots::Feed(const SecondKeying& keying) {
  int at = -1;
  for (int slot = 0; slot < kSlots; ++slot) {
    if (slots_[slot].start.load(std::memory_order_relaxed) == keying.startNanos) at = slot;
  }
  if (at < 0) {
    at = next_;
    next_ = (next_ + 1) % kSlots;
  }
  Slot& slot = slots_[at];
  slot.start.store(INT64_MIN, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  slot.low.store(keying.pattern.Low, std::memory_order_relaxed);
  slot.high.store(keying.pattern.High, std::memory_order_relaxed);
  slot.symbol.store(keying.pattern.Symbol, std::memory_order_relaxed);
  slot.held.store(keying.held, std::memory_order_relaxed);
  slot.start.store(keying.startNanos, std::memory_order_release);
}

}  // namespace output
