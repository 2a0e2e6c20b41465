// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace timecode {

inline constexpr std::uint8_t kLongPulseExtraTicks = 10;

// The 1-bits sent since second 20 or the last parity second, from which the parity bits are formed.
extern std::uint8_t ParityCount;

// Turns the pulse just started into a 1-bit.
void LongPulse();

// What second `second` (0 ... 59) of the minute carries, applied to the pulse the engine has just started.
// The bits describe MinuteMarkTime, the time at the minute mark that ends this minute.
void SecondSchedule(std::uint8_t second);

}  // namespace timecode
