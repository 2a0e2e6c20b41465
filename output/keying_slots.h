// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <climits>
#include <cstdint>

#include "output/keyed_tone.h"

namespace output {

// A few seconds of keying, on the steady clock, written by the tick thread a second ahead and read by the sound thread,
// which checks that a slot's start is the same before and after it reads: no lock, so that the tick never waits for
// the sound.
class KeyingSlots : public KeyingSource {
 public:
  // What the second starting at keying.startNanos carries; a second fed again with the same start replaces it. From
  // the tick thread only; never blocks, never allocates.
  void Feed(const SecondKeying& keying);

  bool KeyingAt(std::int64_t nanos, SecondKeying& keying) override;

 private:
  struct Slot {
    std::atomic<std::int64_t> start{INT64_MIN};
    std::atomic<std::uint64_t> low{0}, high{0};
    std::atomic<std::uint8_t> symbol{0};
    std::atomic<bool> held{false};
  };
  static constexpr int kSlots = 4;
  bool Read(Slot& slot, SecondKeying& keying);

  Slot slots_[kSlots];
  int next_ = 0;  // the slot the next new second goes into; the tick thread's alone
};

}  // namespace output
