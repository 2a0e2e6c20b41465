// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <climits>
#include <cstdint>

#include "output/keyed_tone.h"

namespace output {

// A few seconds of keying, each in the slot of its second's number, written by the tick thread a second ahead and read
// by the sound thread, which checks that the second's number is the same before and after it reads: no lock, so that
// the tick never waits for the sound.
class KeyingSlots : public KeyingSource {
 public:
  // What the wall clock's second `unixSecond` carries. From the tick thread only; never blocks, never allocates.
  void Feed(std::int64_t unixSecond, const SecondKeying& keying);

  bool KeyingFor(std::int64_t unixSecond, SecondKeying& keying) override;

 private:
  struct Slot {
    std::atomic<std::int64_t> second{INT64_MIN};
    std::atomic<std::uint64_t> low{0}, high{0};
    std::atomic<std::uint8_t> symbol{0};
    std::atomic<bool> silent{false};
  };
  Slot& SlotOf(std::int64_t unixSecond) { return slots_[static_cast<std::uint64_t>(unixSecond) % std::size(slots_)]; }

  Slot slots_[4];
};

}  // namespace output
