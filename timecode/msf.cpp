// SPDX-License-Identifier: MIT
// MSF, the United Kingdom's time code, as NPL defines it in "MSF 60 kHz Time and Date Code" (NPL Time & Frequency
// Services, TAF001, July 2007; https://www.npl.co.uk/msf-signal), read with NPL's own answers to questions on the
// signal. The carrier is off for the first 500 ms of second 0, the minute marker; in every other second for its
// first 100 ms, then from 100 to 200 ms if that second's bit A is 1 and from 200 to 300 ms if its bit B is 1. The
// frame sent during a minute names the minute that begins at the next marker, in UK civil time.
//
//   A 17-24 year, 25-29 month, 30-35 day, 36-38 weekday (0 = Sunday), 39-44 hour, 45-51 minute: BCD, most
//     significant bit first; A 52-59 the minute identifier 01111110.
//   B 1-16 DUT1 (sent as 0), 53 summer time about to change (the 61 frames that name the hour before the change
//     and the first minute after it), 54-57 odd parity over A 17-24, A 25-35, A 36-38 and A 39-51, 58 summer time
//     in force.
//   A leap second adds a 0 after second 16; bits 17 to 59 then come a second later.

#include "timecode/civil.h"
#include "timecode/codes.h"
#include "timecode/text_line.h"

namespace timecode {

namespace {

constexpr std::uint8_t kA = 1, kB = 2, kMarker = 4;  // a second's symbol: its bits, or the marker
constexpr int kYear[] = {17, 18, 19, 20, 21, 22, 23, 24}, kYearWeights[] = {80, 40, 20, 10, 8, 4, 2, 1};
constexpr int kMonth[] = {25, 26, 27, 28, 29}, kMonthWeights[] = {10, 8, 4, 2, 1};
constexpr int kDay[] = {30, 31, 32, 33, 34, 35}, kWeekday[] = {36, 37, 38}, kHour[] = {39, 40, 41, 42, 43, 44};
constexpr int kDayWeights[] = {20, 10, 8, 4, 2, 1}, kWeekdayWeights[] = {4, 2, 1};
constexpr int kMinute[] = {45, 46, 47, 48, 49, 50, 51}, kMinuteWeights[] = {40, 20, 10, 8, 4, 2, 1};
constexpr int kIdentifier = 52, kWarning = 53, kSummerTime = 58;
constexpr std::uint8_t kIdentifierBits[] = {0, 1, 1, 1, 1, 1, 1, 0};
constexpr int kLastDut1Bit = 16;
constexpr std::int64_t kWarningAhead = 3600;

// The odd parity bits: where each sits and the A bits it covers; each is its switch, in this order.
struct Parity {
  int bit, first, last;
};
constexpr Parity kParities[] = {{54, 17, 24}, {55, 25, 35}, {56, 36, 38}, {57, 39, 51}};
// The window's boxes keep the bits they always sent wrong: Invert P1 the hour and minute's, P2 the year's, P3 the
// month and day's; the weekday's has none.
constexpr ParitySwitch kSwitches[] = {{"54B", "the odd parity of the year", 54, 2},
                                      {"55B", "the odd parity of the month and day", 55, 3},
                                      {"56B", "the odd parity of the weekday", 56, 0},
                                      {"57B", "the odd parity of the hour and minute", 57, 1}};

// The frame's 60 bits, by bit number rather than by second.
struct Bits {
  std::uint8_t a[60] = {}, b[60] = {};
};

Bits FrameBits(const LocalTime& mark, const ClockReading& reading) {
  Bits bits;
  PutWeighted(bits.a, mark.Year % 100, kYear, kYearWeights);
  PutWeighted(bits.a, mark.Month, kMonth, kMonthWeights);
  PutWeighted(bits.a, mark.Day, kDay, kDayWeights);
  PutWeighted(bits.a, mark.DaysSinceSunday, kWeekday, kWeekdayWeights);
  PutWeighted(bits.a, mark.Hour, kHour, kDayWeights);
  PutWeighted(bits.a, mark.Minute, kMinute, kMinuteWeights);
  for (int at = 0; at < 8; ++at) bits.a[kIdentifier + at] = kIdentifierBits[at];
  bits.b[kWarning] = reading.SecondsToZoneChange >= 0 && reading.SecondsToZoneChange <= kWarningAhead;
  bits.b[kSummerTime] = mark.SummerTime;
  for (const Parity& parity : kParities) {
    int ones = 0;
    for (int at = parity.first; at <= parity.last; ++at) ones += bits.a[at];
    bits.b[parity.bit] = ones % 2 == 0;
  }
  return bits;
}

// The bit a second carries: in a minute with a leap second, second 17 is the extra 0 and the rest come a second late.
int BitOf(int second, int secondsInMinute) {
  if (secondsInMinute == 61 && second > kLastDut1Bit) return second == kLastDut1Bit + 1 ? -1 : second - 1;
  return second;
}

SecondPattern MsfSecondAt(const ClockReading& reading, WrongParities wrong, std::uint8_t&) {
  SecondPattern pattern;
  const int bit = BitOf(reading.Now.Second, reading.SecondsInMinute);
  if (bit == 0) {
    pattern.Reduce(0, 50);
    pattern.Symbol = kMarker;
    return pattern;
  }
  Bits bits = bit > 0 ? FrameBits(reading.NextMinuteMark, reading) : Bits{};
  // Read as the parity bit goes out, as DCF77's are.
  for (std::size_t at = 0; at < std::size(kParities); ++at) {
    if (bit == kParities[at].bit && ((wrong >> at) & 1U) != 0) bits.b[bit] ^= 1U;
  }
  const bool a = bit > 0 && bits.a[bit], b = bit > 0 && bits.b[bit];
  pattern.Reduce(0, 10);
  if (a) pattern.Reduce(10, 20);
  if (b) pattern.Reduce(20, 30);
  pattern.Symbol = static_cast<std::uint8_t>((a ? kA : 0) | (b ? kB : 0));
  return pattern;
}

void DescribeMsfFrame(const SentMinute& minute, char* text, std::size_t size) {
  TextLine line(text, size);
  const LocalTime& mark = minute.Reading.NextMinuteMark;
  line.AddMinute(mark);
  Bits bits;
  int unsent = 0;
  for (const auto& [row, flag] : {std::pair(bits.a, kA), std::pair(bits.b, kB)}) {
    line.Add(" %c ", row == bits.a ? 'A' : 'B');
    for (int second = 0; second < minute.Seconds; ++second) {
      const int bit = BitOf(second, minute.Seconds);
      if (second == 1 || bit == 17 || bit == 25 || bit == 30 || bit == 36 || bit == 39 || bit == 45 || bit == 52 ||
          bit == -1)
        line.Add(" ");
      const std::uint8_t symbol = minute.Symbols[second];
      unsent += !minute.Sent[second] && row == bits.a;
      line.Add("%c", !minute.Sent[second] ? '-' : symbol == kMarker ? 'M' : (symbol & flag) ? '1' : '0');
      if (bit > 0) row[bit] = (symbol & flag) != 0;
    }
  }
  if (unsent > 0) {
    line.Add("  incomplete: %d of %d seconds not sent", unsent, minute.Seconds);
    return;
  }
  line.Add("  year %02d, month %d, day %d, weekday %d, hour %d, minute %d, %s%s", Weighted(bits.a, kYear, kYearWeights),
           Weighted(bits.a, kMonth, kMonthWeights), Weighted(bits.a, kDay, kDayWeights),
           Weighted(bits.a, kWeekday, kWeekdayWeights), Weighted(bits.a, kHour, kDayWeights),
           Weighted(bits.a, kMinute, kMinuteWeights), bits.b[kSummerTime] ? "BST" : "GMT",
           bits.b[kWarning] ? ", summer time changes within the hour" : "");
  bool good = true;
  for (const Parity& parity : kParities) {
    int ones = bits.b[parity.bit];
    for (int at = parity.first; at <= parity.last; ++at) ones += bits.a[at];
    if (ones % 2 == 0) line.Add("%s %dB", good ? ", parity wrong:" : "", parity.bit);
    good = good && ones % 2 == 1;
  }
  if (good) line.Add(", parity good");
}

}  // namespace

const TimeCode kMsf = {
    .Name = "msf",
    .Title = "MSF",
    .Country = "United Kingdom",
    .Zone = "Europe/London",
    .ZoneChoosable = true,
    .Switches = kSwitches,
    .CarrierHz = 60'000,
    .ReducedAmplitude = 0,
    .LateEdgeMs = 33,  // a third of the 100 ms from one of its bits to the next
    .NamesComingMinute = true,
    .SecondAt = MsfSecondAt,
    .DescribeFrame = DescribeMsfFrame,
};

}  // namespace timecode
