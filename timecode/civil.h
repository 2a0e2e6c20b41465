// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>

#include "timecode/local_time.h"

// Calendar arithmetic the codes need beyond what the clock reading gives: the day of the year, the UTC date of a
// local time, and BCD-style weighted bits.

namespace timecode {

inline std::chrono::sys_days DateOf(const LocalTime& time) {
  using namespace std::chrono;
  return sys_days{year{time.Year} / time.Month / time.Day};
}

// 1 for 1 January.
inline int DayOfYear(const LocalTime& time) {
  using namespace std::chrono;
  return static_cast<int>((DateOf(time) - sys_days{year{time.Year} / January / 1}).count()) + 1;
}

inline bool IsLeapYear(int year) { return std::chrono::year{year}.is_leap(); }

// The UTC date and time of a local time, from its offset; the weekday and zone are not carried over.
inline LocalTime UtcOf(const LocalTime& local) {
  using namespace std::chrono;
  const sys_seconds moment = DateOf(local) + hours{local.Hour} + minutes{local.Minute} + seconds{local.Second} -
                             seconds{local.UtcOffsetSeconds};
  const sys_days day = floor<days>(moment);
  const year_month_day date{day};
  const hh_mm_ss time{moment - day};
  return {.Year = static_cast<int>(date.year()),
          .Month = static_cast<int>(static_cast<unsigned>(date.month())),
          .Day = static_cast<int>(static_cast<unsigned>(date.day())),
          .Hour = static_cast<int>(time.hours().count()),
          .Minute = static_cast<int>(time.minutes().count()),
          .Second = static_cast<int>(time.seconds().count())};
}

// Sets value's bits at the given seconds of a frame, each second weighing as given, heaviest first, by successive
// subtraction of the weights: packed BCD where the weights are a BCD number's (80, 40, 20, 10, 8, 4, 2, 1).
template <std::size_t N>
constexpr void PutWeighted(std::uint8_t* symbols, int value, const int (&seconds)[N], const int (&weights)[N]) {
  for (std::size_t at = 0; at < N; ++at) {
    symbols[seconds[at]] = value >= weights[at];
    if (value >= weights[at]) value -= weights[at];
  }
}

// What PutWeighted put there.
template <std::size_t N>
constexpr int Weighted(const std::uint8_t* symbols, const int (&seconds)[N], const int (&weights)[N]) {
  int value = 0;
  for (std::size_t at = 0; at < N; ++at) value += symbols[seconds[at]] == 1 ? weights[at] : 0;
  return value;
}

}  // namespace timecode
