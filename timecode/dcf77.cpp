// SPDX-License-Identifier: MIT
// DCF77, Germany's time code: a pulse at the start of every second, 11 ticks for a 0 and 21 for a 1, none in the
// minute's last second, which marks the minute. The frame sent during a minute carries the time at the minute mark
// that ends it, with even parity over the minute, the hour and the date.

#include <array>

#include "timecode/codes.h"
#include "timecode/text_line.h"
#include "timecode/time_sample.h"

namespace timecode {

namespace {

constexpr std::uint8_t kShortPulseTicks = 11;
constexpr std::uint8_t kLongPulseExtraTicks = 10;

enum class Content : std::uint8_t {
  Zero,
  SummerTimeAnnouncement,  // bit 16: the zone's offset changes at the end of the coming hour
  SummerTime,              // bit 17: daylight-saving time at the minute mark
  WinterTime,              // bit 18: standard time at the minute mark
  LeapSecondAnnouncement,  // bit 19: a leap second is inserted at the end of the coming hour
  StartOfTime,             // bit 20: always 1
  Minute,
  Hour,
  Day,
  WeekDay,
  Month,
  Year,
  Parity,
};

struct Entry {
  Content content = Content::Zero;
  std::uint8_t bit = 0;  // which bit of the field, least significant first; for a parity bit, which switch
};

constexpr std::array<Entry, 60> kSchedule = [] {
  std::array<Entry, 60> table{};
  auto field = [&table](int first, int width, Content content) {
    for (int bit = 0; bit < width; ++bit) table[first + bit] = {content, static_cast<std::uint8_t>(bit)};
  };
  table[16] = {Content::SummerTimeAnnouncement};
  table[17] = {Content::SummerTime};
  table[18] = {Content::WinterTime};
  table[19] = {Content::LeapSecondAnnouncement};
  table[20] = {Content::StartOfTime};
  field(21, 7, Content::Minute);
  table[28] = {Content::Parity, 0};
  field(29, 6, Content::Hour);
  table[35] = {Content::Parity, 1};
  field(36, 6, Content::Day);
  field(42, 3, Content::WeekDay);
  field(45, 5, Content::Month);
  field(50, 8, Content::Year);
  table[58] = {Content::Parity, 2};
  // Second 59 is a 0 in a minute that a leap second lengthens. The minute mark, the minute's last second,
  // carries no pulse at all and is never looked up.
  return table;
}();

constexpr ParitySwitch kSwitches[] = {{"P1", "the even parity of the minute", 28, 1},
                                      {"P2", "the even parity of the hour", 35, 2},
                                      {"P3", "the even parity of the date", 58, 3}};

// Announced in the sixty frames sent during the hour before the change: the last of them names the minute
// mark at which it takes effect, the first the minute mark 59 minutes before.
bool AnnouncedAhead(std::int64_t secondsFromTheMinuteMark) {
  constexpr std::int64_t kHour = 3600;
  return secondsFromTheMinuteMark >= 0 && secondsFromTheMinuteMark < kHour;
}

bool DataBit(std::uint8_t field, std::uint8_t bit, std::uint8_t& ParityCount) {
  const bool one = (field >> bit) & 1U;
  ParityCount += one;
  return one;
}

// Even parity over the 1-bits counted since the last reset; its switch, read now, makes it wrong.
bool ParitySecond(bool wrong, std::uint8_t& ParityCount) {
  if (wrong) ++ParityCount;
  const bool one = ParityCount & 1U;
  ParityCount = 0;
  return one;
}

// The bit second `second` carries, for the minute mark `mark` with what lies ahead of it; keeps the count of 1-bits
// since second 20 or the last parity second, as the parity rules say. The announcements and the zone bits count in no
// parity.
bool SecondSchedule(std::uint8_t second, const TimeSample& mark, const ClockReading& reading, WrongParities wrong,
                    std::uint8_t& ParityCount) {
  const Entry entry = kSchedule[second];
  switch (entry.content) {
    case Content::Zero: return false;
    case Content::SummerTimeAnnouncement: return AnnouncedAhead(reading.SecondsToZoneChange);
    case Content::LeapSecondAnnouncement: return AnnouncedAhead(reading.SecondsToLeapSecond);
    case Content::SummerTime: return mark.SummerTime;
    case Content::WinterTime: return !mark.SummerTime;
    case Content::StartOfTime: ParityCount = 0; return true;
    case Content::Minute: return DataBit(mark.MinuteBcd, entry.bit, ParityCount);
    case Content::Hour: return DataBit(mark.HourBcd, entry.bit, ParityCount);
    case Content::Day: return DataBit(mark.DayBcd, entry.bit, ParityCount);
    case Content::WeekDay: return DataBit(mark.WeekDay, entry.bit, ParityCount);
    case Content::Month: return DataBit(mark.MonthBcd, entry.bit, ParityCount);
    case Content::Year: return DataBit(mark.YearBcd, entry.bit, ParityCount);
    case Content::Parity: return ParitySecond((wrong >> entry.bit) & 1U, ParityCount);
  }
  return false;
}

// Turns the pulse of the second being begun into a 1-bit: 21 ticks instead of 11.
void LongPulse(SecondPattern& pulse) { pulse.Reduce(kShortPulseTicks, kShortPulseTicks + kLongPulseExtraTicks); }

// The minute's last second, second 59 or a leap second's 60, carries no pulse and has no schedule entry.
SecondPattern Dcf77SecondAt(const ClockReading& reading, WrongParities wrong, std::uint8_t& ParityCount) {
  const int second = reading.Now.Second;
  SecondPattern pulse;
  if (second >= reading.SecondsInMinute - 1) return pulse;
  pulse.Reduce(0, kShortPulseTicks);
  if (SecondSchedule(static_cast<std::uint8_t>(second), SampleOf(reading.NextMinuteMark), reading, wrong, ParityCount))
    LongPulse(pulse);
  pulse.Symbol = pulse.Reduced(kShortPulseTicks) ? 1 : 0;
  return pulse;
}

// The seconds at which the frame's fields begin: the civil warnings, the call bit with the zone and its
// announcements, the start of the time, minute, hour, day, weekday, month, year, and a leap second's extra 0.
constexpr int kFieldStarts[] = {1, 15, 20, 21, 29, 36, 42, 45, 50, 59};

int Bcd(const std::uint8_t* bits, int first, int width) {
  constexpr int kWeights[] = {1, 2, 4, 8, 10, 20, 40, 80};
  int value = 0;
  for (int bit = 0; bit < width; ++bit) value += bits[first + bit] * kWeights[bit];
  return value;
}

bool EvenParity(const std::uint8_t* bits, int first, int parity) {
  int ones = 0;
  for (int second = first; second <= parity; ++second) ones += bits[second];
  return ones % 2 == 0;
}

// The minute as it went out, and what a receiver reads from it: the check a user makes before wiring a clock.
void DescribeDcf77Frame(const SentMinute& minute, char* text, std::size_t size) {
  TextLine line(text, size);
  const LocalTime& mark = minute.Reading.NextMinuteMark;
  line.AddMinute(mark);
  line.Add(" ");
  int unsent = 0;
  const int bitCount = minute.Seconds - 1;  // the minute mark carries none
  for (int second = 0; second < bitCount; ++second) {
    for (const int start : kFieldStarts) {
      if (second == start) line.Add(" ");
    }
    unsent += !minute.Sent[second];
    line.Add("%c", minute.Sent[second] ? '0' + minute.Symbols[second] : '-');
  }
  if (unsent > 0) {
    line.Add("  incomplete: %d of %d seconds not sent", unsent, bitCount);
    return;
  }
  const std::uint8_t* bits = minute.Symbols;
  line.Add("  minute %d, hour %d, day %d, weekday %d, month %d, year %02d, ", Bcd(bits, 21, 7), Bcd(bits, 29, 6),
           Bcd(bits, 36, 6), Bcd(bits, 42, 3), Bcd(bits, 45, 5), Bcd(bits, 50, 8));
  line.Add("%s", bits[17] == bits[18] ? "no zone" : bits[17] ? "CEST" : "CET");
  line.Add("%s%s", bits[16] ? ", summer time changes at the end of the hour" : "",
           bits[19] ? ", leap second at the end of the hour" : "");
  const bool minuteParity = EvenParity(bits, 21, 28), hourParity = EvenParity(bits, 29, 35),
             dateParity = EvenParity(bits, 36, 58);
  if (minuteParity && hourParity && dateParity) {
    line.Add(", parity good");
  } else {
    line.Add(", parity wrong:%s%s%s", minuteParity ? "" : " minute", hourParity ? "" : " hour",
             dateParity ? "" : " date");
  }
}

}  // namespace

const TimeCode kDcf77 = {
    .Name = "dcf77",
    .Title = "DCF77",
    .Country = "Germany",
    .Zone = nullptr,
    .ZoneChoosable = true,
    .Switches = kSwitches,
    .CarrierHz = 77'500,
    .ReducedAmplitude = 0.15,
    .LateEdgeMs = 33,  // (200 ms - 100 ms) / 3
    .NamesComingMinute = true,
    .SecondAt = Dcf77SecondAt,
    .DescribeFrame = DescribeDcf77Frame,
};

}  // namespace timecode
