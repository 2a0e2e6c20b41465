// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>

#include "timecode/time_code.h"

// DCF77: a pulse at the start of every second, 11 ticks for a 0 and 21 for a 1, none in the minute's last second,
// which marks the minute. The frame sent during a minute carries the time at the minute mark that ends it.

namespace timecode {

inline constexpr std::uint8_t kShortPulseTicks = 11;
inline constexpr std::uint8_t kLongPulseExtraTicks = 10;

// The 1-bits sent since second 20 or the last parity second, from which the parity bits are formed.
extern std::uint8_t ParityCount;

// Turns the pulse of the second being begun into a 1-bit: 21 ticks instead of 11.
void LongPulse();

// What second `second` (0 ... 59) of the minute carries, applied to the pulse of the second being begun.
// The bits describe MinuteMarkTime, the time at the minute mark that ends this minute.
void SecondSchedule(std::uint8_t second);

// The frame as sent, grouped by field and read back; see TimeCode::DescribeFrame.
void DescribeDcf77Frame(const SentMinute& minute, char* text, std::size_t size);

}  // namespace timecode
