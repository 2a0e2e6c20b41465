// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>

#include "timecode/local_time.h"

// What the tick engine asks of the time code it sends, and what the code gives back for each second: the ticks
// during which the carrier is reduced. The engine, the lines and the lamp know nothing else of the code.

namespace timecode {

inline constexpr int kTicksPerSecond = 100;

// The ticks of one second during which the carrier is reduced, counted in tick periods from the tick that began
// the second: at most two stretches, each from Begin up to but not including End. The symbol says what the second
// carries, in the code's own terms, for the frame shown afterwards.
struct SecondPattern {
  struct Stretch {
    std::uint8_t Begin = 0, End = 0;
  };
  Stretch Stretches[2] = {};
  std::uint8_t Symbol = 0;

  bool Reduced(int tick) const {
    for (const Stretch& stretch : Stretches) {
      if (tick >= stretch.Begin && tick < stretch.End) return true;
    }
    return false;
  }
};

// The seconds of one minute as they were sent, for the line that shows a frame once its last second has begun.
struct SentMinute {
  static constexpr int kMostSeconds = 61;
  std::uint8_t Symbols[kMostSeconds] = {};
  bool Sent[kMostSeconds] = {};  // false for a second skipped, held back, or before the program began
  int Seconds = 60;              // 61 with a leap second
  ClockReading Reading;          // the clock as the minute's last second began
};

struct TimeCode {
  // Applies the code's rules to the second the engine has just begun (CurrentTime.Second, with the rest of the
  // engine's state for the minute), and says when its carrier is reduced. Called once per new second, on the tick
  // that notices it; allocates nothing.
  SecondPattern (*BeginSecond)();
  // One line for a whole minute sent, without its line break: the minute the frame names, the symbols as sent,
  // grouped by field, and the fields read back from them. Never on the tick path.
  void (*DescribeFrame)(const SentMinute& minute, char* text, std::size_t size);
};

}  // namespace timecode
