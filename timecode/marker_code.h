// SPDX-License-Identifier: MIT
#pragma once

#include "timecode/civil.h"
#include "timecode/text_line.h"
#include "timecode/time_code.h"

// What WWVB and JJY have in common: a symbol a second (0, 1 or a marker), markers at seconds 0, 9, 19, 29, 39, 49
// and 59, and the minute, hour and day of the year at the same places in BCD, most significant bit first. Each
// frame names the minute it is sent in.

namespace timecode::marker_code {

inline constexpr std::uint8_t kZero = 0, kOne = 1, kMarker = 2;
inline constexpr int kMarkers[] = {0, 9, 19, 29, 39, 49, 59};
inline constexpr int kMinute[] = {1, 2, 3, 5, 6, 7, 8}, kMinuteWeights[] = {40, 20, 10, 8, 4, 2, 1};
inline constexpr int kHour[] = {12, 13, 15, 16, 17, 18}, kHourWeights[] = {20, 10, 8, 4, 2, 1};
inline constexpr int kDayOfYear[] = {22, 23, 25, 26, 27, 28, 30, 31, 32, 33};
inline constexpr int kDayOfYearWeights[] = {200, 100, 80, 40, 20, 10, 8, 4, 2, 1};

// The markers, the minute, the hour and the day of the year of the minute `now` is in, the rest 0.
inline void PutCommonFields(std::uint8_t (&symbols)[SentMinute::kMostSeconds], const LocalTime& now) {
  for (std::uint8_t& symbol : symbols) symbol = kZero;
  for (const int marker : kMarkers) symbols[marker] = kMarker;
  PutWeighted(symbols, now.Minute, kMinute, kMinuteWeights);
  PutWeighted(symbols, now.Hour, kHour, kHourWeights);
  PutWeighted(symbols, DayOfYear(now), kDayOfYear, kDayOfYearWeights);
}

// The minute named, then the symbols as sent, ten seconds to a group, each group ended by its marker: '0', '1', 'M',
// other as `other` says, '-' for a second not sent. False, with that said, if any was not.
inline bool DescribeSymbols(TextLine& line, const SentMinute& minute, char other) {
  const LocalTime& now = minute.Reading.Now;
  line.AddMinute(now);
  line.Add(" ");
  int unsent = 0;
  for (int second = 0; second < minute.Seconds; ++second) {
    if (second % 10 == 0 && second > 0) line.Add(" ");
    const std::uint8_t symbol = minute.Symbols[second];
    unsent += !minute.Sent[second];
    line.Add("%c", !minute.Sent[second] ? '-' : symbol == kMarker ? 'M' : symbol <= kOne ? '0' + symbol : other);
  }
  if (unsent > 0) line.Add("  incomplete: %d of %d seconds not sent", unsent, minute.Seconds);
  return unsent == 0;
}

// The minute, hour and day of the year read back.
inline void DescribeCommonFields(TextLine& line, const std::uint8_t* symbols) {
  line.Add("  minute %d, hour %d, day of year %d", Weighted(symbols, kMinute, kMinuteWeights),
           Weighted(symbols, kHour, kHourWeights), Weighted(symbols, kDayOfYear, kDayOfYearWeights));
}

}  // namespace timecode::marker_code
