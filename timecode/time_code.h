// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "timecode/local_time.h"

// What the transmitter asks of the time code it sends, and what the code gives back for each second: the ticks
// during which the carrier is reduced. A code is a pure function of the clock's reading and its switches; the engine,
// the lines, the lamp and the sound know nothing else of it.

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
  bool operator==(const SecondPattern&) const = default;
};

// The seconds of one minute as they were sent, for the line that shows a frame once its last second has begun.
struct SentMinute {
  static constexpr int kMostSeconds = 61;
  std::uint8_t Symbols[kMostSeconds] = {};
  bool Sent[kMostSeconds] = {};  // false for a second skipped, held back, or before the program began
  int Seconds = 60;              // 61 with a leap second
  ClockReading Reading;          // the clock as the minute's last second began
};

// A bit that a tester may send wrong on purpose, to see that a decoder refuses the frame: each of a code's parity bits.
struct ParitySwitch {
  const char* Name;    // the code's own name for the bit, as --invert-parity takes it: "P1", "57B", "PA2"
  const char* Covers;  // what the bit checks: "the even parity of the minute"
  int Second;          // the second of an ordinary minute that carries it
  // The window's box that sends it wrong, Invert P1, P2 or P3, which --invert-p1 to --invert-p3 set at start: 1 to 3,
  // or 0 where it has none.
  int Box;
};

// Which of a code's parity bits are sent wrong: bit i for its switch i.
using WrongParities = std::uint32_t;

struct TimeCode {
  const char* Name;     // as --code takes it
  const char* Title;    // as the user reads it
  const char* Country;  // whose time signal it is
  // The zone whose time the code carries (an IANA name), or nullptr for the system's; whether --zone may name
  // another, as for a code that carries civil time.
  const char* Zone;
  bool ZoneChoosable;
  std::span<const ParitySwitch> Switches;
  // The station's carrier, and how far it is reduced: the amplitude then, as a share of the full one.
  int CarrierHz;
  double ReducedAmplitude;
  // The most a pulse's start or end may go out after its grid point: a third of the difference between the code's two
  // pulse lengths for a 0 and a 1, so that no receiver reads the one as the other, and the second's edge no later.
  int LateEdgeMs;
  // Whether a frame names the minute at the coming minute mark (DCF77, MSF) or the minute it is sent in (WWVB, JJY).
  bool NamesComingMinute;
  // The second reading.Now.Second of the minute `reading` describes: when its carrier is reduced, and the symbol it
  // carries, with the parity bits in `wrong` sent wrong. `parityCount` is the count of 1-bits since the last parity
  // bit, from which DCF77 forms its parity bits: it goes in as it stood before this second and comes out as it stands
  // after it; the other codes, whose parity bits come from the frame alone, leave it as it is. Allocates nothing.
  SecondPattern (*SecondAt)(const ClockReading& reading, WrongParities wrong, std::uint8_t& parityCount);
  // One line for a whole minute sent, without its line break: the minute the frame names, the symbols as sent,
  // grouped by field, and the fields read back from them. Never on the tick path.
  void (*DescribeFrame)(const SentMinute& minute, char* text, std::size_t size);
};

}  // namespace timecode
