// SPDX-License-Identifier: MIT
// WWVB, the United States' time code, in its amplitude-modulated form, as NIST defines it in "NIST Time and
// Frequency Services" (NIST Special Publication 432, 2002 edition; https://tf.nist.gov/general/pdf/1383.pdf) and
// on its page "WWVB Time Code Format" (https://www.nist.gov/pml/time-and-frequency-division/time-distribution/
// radio-station-wwvb/wwvb-time-code-format); the phase-modulated code of 2012 leaves this form as it was. The
// carrier's power is reduced from the start of each second for 0.2 s (a 0), 0.5 s (a 1) or 0.8 s (a marker). The
// frame names the minute it is sent in, in UTC.
//
//   Markers at 0, 9, 19, 29, 39, 49 and 59; minute 1-8, hour 12-18, day of year 22-33 and year 45-53 in BCD, most
//   significant bit first; DUT1's sign at 36-38 (101 for +) and value at 40-43 (sent as +0.0); 55 a leap year;
//   56 a leap second at the end of this UTC month (all month, up to it); 57 summer time at the end of this UTC
//   day and 58 at its start, by the United States' rules. A leap second is a second marker, second 60.
//   There is no parity.

#include <chrono>

#include "timecode/codes.h"
#include "timecode/marker_code.h"

namespace timecode {

namespace {

using namespace marker_code;

constexpr int kDut1Sign[] = {36, 37, 38}, kYear[] = {45, 46, 47, 48, 50, 51, 52, 53};
constexpr int kYearWeights[] = {80, 40, 20, 10, 8, 4, 2, 1};
constexpr int kLeapYear = 55, kLeapSecondWarning = 56, kSummerTimeTonight = 57, kSummerTimeThisMorning = 58;

// The rules since 2007: summer time from 2:00 local time on March's second Sunday to 2:00 on November's first,
// which in every state that keeps it is between 6:00 and 11:00 UTC. So it is in effect at the start of a UTC day
// from the day after the first of those Sundays up to the second.
bool UsSummerTimeAtTheStartOf(std::chrono::sys_days day) {
  using namespace std::chrono;
  const year year = year_month_day{day}.year();
  return day > sys_days{year / March / Sunday[2]} && day <= sys_days{year / November / Sunday[1]};
}

SecondPattern WwvbSecondAt(const ClockReading& reading, WrongParities, std::uint8_t&) {
  const LocalTime& now = reading.Now;
  std::uint8_t symbols[SentMinute::kMostSeconds];
  PutCommonFields(symbols, now);
  symbols[kDut1Sign[0]] = symbols[kDut1Sign[2]] = kOne;
  PutWeighted(symbols, now.Year % 100, kYear, kYearWeights);
  symbols[kLeapYear] = IsLeapYear(now.Year);
  // The leap second ends this minute, or one later in its UTC month.
  const std::int64_t toLeapSecond = reading.SecondsToLeapSecond;
  symbols[kLeapSecondWarning] = toLeapSecond == 0 || (toLeapSecond > 0 && reading.NextMinuteMark.Month == now.Month);
  symbols[kSummerTimeThisMorning] = UsSummerTimeAtTheStartOf(DateOf(now));
  symbols[kSummerTimeTonight] = UsSummerTimeAtTheStartOf(DateOf(now) + std::chrono::days{1});
  symbols[60] = kMarker;

  SecondPattern pattern;
  pattern.Symbol = symbols[now.Second];
  pattern.Reduce(0, pattern.Symbol == kMarker ? 80 : pattern.Symbol == kOne ? 50 : 20);
  return pattern;
}

void DescribeWwvbFrame(const SentMinute& minute, char* text, std::size_t size) {
  TextLine line(text, size);
  if (!DescribeSymbols(line, minute, '?')) return;
  const std::uint8_t* symbols = minute.Symbols;
  DescribeCommonFields(line, symbols);
  line.Add(", year %02d, DUT1 %c0.%d%s%s, summer time %s", Weighted(symbols, kYear, kYearWeights),
           symbols[36] == kOne && symbols[38] == kOne ? '+' : '-', Weighted(symbols, {40, 41, 42, 43}, {8, 4, 2, 1}),
           symbols[kLeapYear] ? ", leap year" : "",
           symbols[kLeapSecondWarning] ? ", leap second at the end of the month" : "",
           symbols[kSummerTimeThisMorning] ? (symbols[kSummerTimeTonight] ? "in effect" : "ends today")
                                           : (symbols[kSummerTimeTonight] ? "begins today" : "not in effect"));
}

}  // namespace

const TimeCode kWwvb = {
    .Name = "wwvb",
    .Title = "WWVB",
    .Country = "United States",
    .Zone = "UTC",
    .ZoneChoosable = false,
    .Switches = {},
    .CarrierHz = 60'000,
    .ReducedAmplitude = 0.141,  // 17 dB down
    .LateEdgeMs = 100,          // (500 ms - 200 ms) / 3
    .NamesComingMinute = false,
    .SecondAt = WwvbSecondAt,
    .DescribeFrame = DescribeWwvbFrame,
};

}  // namespace timecode
