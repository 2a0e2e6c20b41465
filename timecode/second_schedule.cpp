// SPDX-License-Identifier: MIT
#include "timecode/second_schedule.h"

#include <array>

#include "timecode/codes.h"
#include "timecode/tick_engine.h"
#include "timecode/tick_links.h"

namespace timecode {

std::uint8_t ParityCount = 0;

namespace {

// The pulse of the second being begun.
SecondPattern Pulse;

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
  MinuteParity,
  HourParity,
  DateParity,
};

struct Entry {
  Content content = Content::Zero;
  std::uint8_t bit = 0;  // which bit of the field, least significant first
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
  table[28] = {Content::MinuteParity};
  field(29, 6, Content::Hour);
  table[35] = {Content::HourParity};
  field(36, 6, Content::Day);
  field(42, 3, Content::WeekDay);
  field(45, 5, Content::Month);
  field(50, 8, Content::Year);
  table[58] = {Content::DateParity};
  // Second 59 is a 0 in a minute that a leap second lengthens. The minute mark, the minute's last second,
  // carries no pulse at all and is never looked up.
  return table;
}();

// Announced in the sixty frames sent during the hour before the change: the last of them names the minute
// mark at which it takes effect, the first the minute mark 59 minutes before.
bool AnnouncedAhead(std::int64_t secondsFromTheMinuteMark) {
  constexpr std::int64_t kHour = 3600;
  return secondsFromTheMinuteMark >= 0 && secondsFromTheMinuteMark < kHour;
}

bool DataBit(std::uint8_t field, std::uint8_t bit, std::uint8_t& count) {
  const bool one = (field >> bit) & 1U;
  count += one;
  return one;
}

// Even parity over the bits counted since the last reset; the invert switch, read now, makes it wrong.
bool ParitySecond(ParityBit parity, std::uint8_t& count) {
  if (Links.ParityInverted(parity)) ++count;
  const bool one = count & 1U;
  count = 0;
  return one;
}

// The bit a second carries by the schedule, for the minute mark `mark` with what lies ahead of it, and the 1-bits
// counted since the last reset, which it keeps as the parity rules say.
bool ScheduledBit(std::uint8_t second, const TimeSample& mark, const ClockReading& reading, std::uint8_t& count) {
  const Entry entry = kSchedule[second];
  switch (entry.content) {
    case Content::Zero: return false;
    // The announcements and the zone bits count in no parity.
    case Content::SummerTimeAnnouncement: return AnnouncedAhead(reading.SecondsToZoneChange);
    case Content::LeapSecondAnnouncement: return AnnouncedAhead(reading.SecondsToLeapSecond);
    case Content::SummerTime: return mark.SummerTime;
    case Content::WinterTime: return !mark.SummerTime;
    case Content::StartOfTime: count = 0; return true;
    case Content::Minute: return DataBit(mark.MinuteBcd, entry.bit, count);
    case Content::Hour: return DataBit(mark.HourBcd, entry.bit, count);
    case Content::Day: return DataBit(mark.DayBcd, entry.bit, count);
    case Content::WeekDay: return DataBit(mark.WeekDay, entry.bit, count);
    case Content::Month: return DataBit(mark.MonthBcd, entry.bit, count);
    case Content::Year: return DataBit(mark.YearBcd, entry.bit, count);
    case Content::MinuteParity: return ParitySecond(ParityBit::Minute, count);
    case Content::HourParity: return ParitySecond(ParityBit::Hour, count);
    case Content::DateParity: return ParitySecond(ParityBit::Date, count);
  }
  return false;
}

// The pulse of the second being begun, 11 ticks, which the schedule's LongPulse makes a 1-bit.
template <class Schedule>
SecondPattern Pulsed(Schedule schedule) {
  Pulse = {};
  Pulse.Reduce(0, kShortPulseTicks);
  schedule();
  Pulse.Symbol = Pulse.Reduced(kShortPulseTicks) ? 1 : 0;
  return Pulse;
}

// The minute's last second, second 59 or a leap second's 60, carries no pulse and has no schedule entry.
bool MinuteMark(int second, const ClockReading& reading) { return second >= reading.SecondsInMinute - 1; }

SecondPattern BeginDcf77Second() {
  if (MinuteMark(CurrentTime.Second, Reading)) return {};
  return Pulsed([] { SecondSchedule(CurrentTime.Second); });
}

// As a receiver that had the whole minute has it: the schedule run from the minute's start, whatever the engine sent.
SecondPattern Dcf77PatternAt(const ClockReading& reading) {
  const int second = reading.Now.Second;
  if (MinuteMark(second, reading)) return {};
  const TimeSample mark = SampleOf(reading.NextMinuteMark);
  std::uint8_t count = 0;
  bool one = false;
  for (int at = 0; at <= second; ++at) one = ScheduledBit(static_cast<std::uint8_t>(at), mark, reading, count);
  return Pulsed([one] {
    if (one) LongPulse();
  });
}

}  // namespace

const TimeCode kDcf77 = {
    .Name = "dcf77",
    .Title = "DCF77",
    .Zone = nullptr,
    .ZoneChoosable = true,
    .ParityBoxes = {"DCF77: the minute's parity, second 28", "DCF77: the hour's parity, second 35",
                    "DCF77: the date's parity, second 58"},
    .CarrierHz = 77'500,
    .ReducedAmplitude = 0.15,
    .BeginSecond = BeginDcf77Second,
    .PatternAt = Dcf77PatternAt,
    .DescribeFrame = DescribeDcf77Frame,
};

void LongPulse() { Pulse.Reduce(kShortPulseTicks, kShortPulseTicks + kLongPulseExtraTicks); }

void SecondSchedule(std::uint8_t second) {
  if (ScheduledBit(second, MinuteMarkTime, Reading, ParityCount)) LongPulse();
}

}  // namespace timecode
