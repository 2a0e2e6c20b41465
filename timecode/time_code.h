// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>

#include "timecode/local_time.h"

// What the tick engine asks of the time code it sends, and what the code gives back for each second: the ticks
// during which the carrier is reduced. The engine, the lines and the lamp know nothing else of the code.

namespace timecode {

inline constexpr int kTicksPerSecond = 100;

// The tick periods of one second during which the carrier is reduced, counted from the tick that began the second,
// and the symbol the second carries, in the code's own terms, for the frame shown afterwards.
struct SecondPattern {
  std::uint64_t Low = 0, High = 0;  // ticks 0 ... 63, 64 ... 99
  std::uint8_t Symbol = 0;

  // Reduces the carrier from tick `begin` up to, not including, tick `end`.
  constexpr void Reduce(int begin, int end) {
    for (int tick = begin; tick < end; ++tick) (tick < 64 ? Low : High) |= std::uint64_t{1} << (tick % 64);
  }
  constexpr bool Reduced(int tick) const {
    return tick >= 0 && tick < kTicksPerSecond && ((tick < 64 ? Low : High) >> (tick % 64) & 1U) != 0;
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
  const char* Name;   // as --code takes it
  const char* Title;  // as the user reads it
  // The zone whose time the code carries (an IANA name), or nullptr for the system's; whether --zone may name
  // another, as for a code that carries civil time.
  const char* Zone;
  bool ZoneChoosable;
  // For each of the window's boxes Invert P1, P2 and P3: the parity bit it sends wrong, for its tooltip, or nullptr
  // where the code has none to match.
  const char* ParityBoxes[3];
  // The station's carrier, and how far it is reduced: the amplitude then, as a share of the full one.
  int CarrierHz;
  double ReducedAmplitude;
  // Applies the code's rules to the second the engine has just begun (CurrentTime.Second, with the rest of the
  // engine's state for the minute), and says when its carrier is reduced. Called once per new second, on the tick
  // that notices it; allocates nothing.
  SecondPattern (*BeginSecond)();
  // The same for the second reading.Now.Second of the minute `reading` describes, as a receiver that had the whole
  // minute reads it, however the engine's seconds went: for sending ahead of time, to a sound device, or into a file.
  // The parity boxes are read now. Allocates nothing.
  SecondPattern (*PatternAt)(const ClockReading& reading);
  // One line for a whole minute sent, without its line break: the minute the frame names, the symbols as sent,
  // grouped by field, and the fields read back from them. Never on the tick path.
  void (*DescribeFrame)(const SentMinute& minute, char* text, std::size_t size);
};

}  // namespace timecode
