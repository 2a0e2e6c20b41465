// SPDX-License-Identifier: MIT
// JJY, Japan's time code from NICT's transmitters at 40 and 60 kHz, as NICT describes it on its pages "JJY time
// code" (https://jjy.nict.go.jp/jjy/trans/index.html, https://jjy.nict.go.jp/jjy/trans/timecode2-e.html), with its
// notes on the leap seconds of 2006 and 2009 (https://jjy.nict.go.jp/news/leaps.html), and the ministry's notice
// 382 of 1999 on the call sign. The carrier is at full power from the start of each second and drops to a tenth
// after 0.8 s (a 0), 0.5 s (a 1) or 0.2 s (a marker), until the second ends. The frame names the minute it is sent
// in, in Japan Standard Time, which has no summer time.
//
//   Markers at 0, 9, 19, 29, 39, 49 and 59; minute 1-8, hour 12-18, day of year 22-33 in BCD, most significant bit
//   first; 36 PA1 and 37 PA2, even parity over the hour's and the minute's bits; 41-48 the year, 50-52 the weekday
//   (0 = Sunday), both BCD; 53 and 54 LS1 and LS2, both 1 ahead of a leap second inserted (NICT sets them from 09:00
//   on the 2nd of the month it ends, that is from the UTC month's second day). A leap second makes second 59 a 0 and
//   second 60 the marker. In minutes 15 and 45, seconds 40 to 48 carry the call sign JJY twice in Morse, the carrier
//   keyed fully on and off, and 50 to 55 the notice of planned interruptions (none), instead of the year, the
//   weekday and the leap second.

#include <array>

#include "timecode/codes.h"
#include "timecode/marker_code.h"

namespace timecode {

namespace {

using namespace marker_code;

constexpr std::uint8_t kMorse = 3;  // a second of the call sign
constexpr int kHourParity = 36, kMinuteParity = 37, kLeapSecond1 = 53, kLeapSecond2 = 54;
constexpr int kYear[] = {41, 42, 43, 44, 45, 46, 47, 48}, kYearWeights[] = {80, 40, 20, 10, 8, 4, 2, 1};
constexpr int kWeekday[] = {50, 51, 52}, kWeekdayWeights[] = {4, 2, 1};
constexpr int kCallSignFrom = 40, kCallSignSeconds = 9;
constexpr std::size_t kCallSignTicks = std::size_t{kCallSignSeconds} * kTicksPerSecond;

// "JJY JJY" in Morse over seconds 40 to 48: the carrier on for a mark, off between them; a unit of 9 ticks, a dot
// one unit, a dash three, one between the marks of a letter, three between letters and seven between the words, 97
// units in the middle of the 900 ticks, off before and after.
constexpr std::array<bool, kCallSignTicks> kCallSignReduced = [] {
  constexpr int kUnit = 9;
  constexpr const char* kMarks = "JJY JJY";
  std::array<bool, kCallSignTicks> reduced{};
  reduced.fill(true);
  int tick = 14;  // (900 - 97 units) / 2
  for (const char* letter = kMarks; *letter != '\0'; ++letter) {
    if (*letter == ' ') {
      tick += 4 * kUnit;  // with the three after the letter, seven
      continue;
    }
    for (const char* mark = *letter == 'J' ? ".---" : "-.--"; *mark != '\0'; ++mark) {
      const int length = (*mark == '.' ? 1 : 3) * kUnit;
      for (int at = tick; at < tick + length; ++at) reduced[at] = false;
      tick += length + kUnit;
    }
    tick += 2 * kUnit;  // with the one after the last mark, three
  }
  return reduced;
}();

// The window's boxes keep the bits they always sent wrong: Invert P1 the minute's, P2 the hour's.
constexpr ParitySwitch kSwitches[] = {{"PA1", "the even parity of the hour", kHourParity, 2},
                                      {"PA2", "the even parity of the minute", kMinuteParity, 1}};

bool CallSignMinute(const LocalTime& now) { return now.Minute == 15 || now.Minute == 45; }

int EvenParity(const std::uint8_t* symbols, const int* seconds, int count) {
  int ones = 0;
  for (int at = 0; at < count; ++at) ones += symbols[seconds[at]] == kOne;
  return ones % 2;
}

SecondPattern JjySecondAt(const ClockReading& reading, WrongParities wrong, std::uint8_t&) {
  const LocalTime& now = reading.Now;
  const int second = now.Second;
  std::uint8_t symbols[SentMinute::kMostSeconds];
  PutCommonFields(symbols, now);
  // Each switch is read as its bit goes out.
  symbols[kHourParity] = EvenParity(symbols, kHour, 6) ^ (second == kHourParity && (wrong & 1U) != 0);
  symbols[kMinuteParity] = EvenParity(symbols, kMinute, 7) ^ (second == kMinuteParity && (wrong & 2U) != 0);
  if (CallSignMinute(now)) {
    for (int at = kCallSignFrom; at < kCallSignFrom + kCallSignSeconds; ++at) symbols[at] = kMorse;
  } else {
    PutWeighted(symbols, now.Year % 100, kYear, kYearWeights);
    PutWeighted(symbols, now.DaysSinceSunday, kWeekday, kWeekdayWeights);
    // From the UTC month's second day up to the leap second that ends it, which ends this minute or a later one.
    const LocalTime utcNow = UtcOf(now), utcMark = UtcOf(reading.NextMinuteMark);
    const std::int64_t toLeapSecond = reading.SecondsToLeapSecond;
    symbols[kLeapSecond1] = symbols[kLeapSecond2] =
        utcNow.Day >= 2 && (toLeapSecond == 0 || (toLeapSecond > 0 && utcMark.Month == utcNow.Month));
  }
  if (reading.SecondsInMinute == 61) {
    symbols[59] = kZero;
    symbols[60] = kMarker;
  }

  SecondPattern pattern;
  pattern.Symbol = symbols[second];
  if (pattern.Symbol == kMorse) {
    for (int tick = 0; tick < kTicksPerSecond; ++tick) {
      if (kCallSignReduced[(second - kCallSignFrom) * kTicksPerSecond + tick]) pattern.Reduce(tick, tick + 1);
    }
  } else {
    pattern.Reduce(pattern.Symbol == kMarker ? 20 : pattern.Symbol == kOne ? 50 : 80, kTicksPerSecond);
  }
  return pattern;
}

void DescribeJjyFrame(const SentMinute& minute, char* text, std::size_t size) {
  TextLine line(text, size);
  if (!DescribeSymbols(line, minute, '~')) return;
  const std::uint8_t* symbols = minute.Symbols;
  DescribeCommonFields(line, symbols);
  const bool parityGood = EvenParity(symbols, kHour, 6) == symbols[kHourParity] &&
                          EvenParity(symbols, kMinute, 7) == symbols[kMinuteParity];
  if (symbols[kCallSignFrom] == kMorse) {
    line.Add(", the call sign");
  } else {
    line.Add(", year %02d, weekday %d%s", Weighted(symbols, kYear, kYearWeights),
             Weighted(symbols, kWeekday, kWeekdayWeights),
             symbols[kLeapSecond1] == kOne ? ", leap second at the end of the UTC month" : "");
  }
  line.Add(", parity %s", parityGood ? "good" : "wrong");
}

}  // namespace

// The same code from both stations: 40 kHz from Ohtakadoya-yama, 60 kHz from Hagane-yama. The carrier drops to a
// tenth; for a clock set through a speaker the tone is keyed off altogether, as deep as it goes.
const TimeCode kJjy = {
    .Name = "jjy",
    .Title = "JJY",
    .Country = "Japan",
    .Zone = "Asia/Tokyo",
    .ZoneChoosable = false,
    .Switches = kSwitches,
    .CarrierHz = 40'000,
    .ReducedAmplitude = 0,
    .LateEdgeMs = 100,  // (800 ms - 500 ms) / 3
    .NamesComingMinute = false,
    .SecondAt = JjySecondAt,
    .DescribeFrame = DescribeJjyFrame,
};

const TimeCode kJjy60 = [] {
  TimeCode sixty = kJjy;
  sixty.Name = "jjy60";
  sixty.CarrierHz = 60'000;
  return sixty;
}();

}  // namespace timecode
