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

void DataBit(std::uint8_t field, std::uint8_t bit) {
  if ((field >> bit) & 1U) {
    LongPulse();
    ++ParityCount;
  }
}

// Even parity over the bits counted since the last reset; the invert switch, read now, makes it wrong.
void ParitySecond(ParityBit parity) {
  if (Links.ParityInverted(parity)) ++ParityCount;
  if (ParityCount & 1U) LongPulse();
  ParityCount = 0;
}

// The minute's last second, second 59 or a leap second's 60, carries no pulse and has no schedule entry.
SecondPattern BeginDcf77Second() {
  const std::uint8_t second = CurrentTime.Second;
  if (second >= Reading.SecondsInMinute - 1) return {};
  Pulse = {};
  Pulse.Reduce(0, kShortPulseTicks);
  SecondSchedule(second);
  Pulse.Symbol = Pulse.Reduced(kShortPulseTicks) ? 1 : 0;
  return Pulse;
}

}  // namespace

const TimeCode kDcf77 = {
    .Name = "dcf77",
    .Title = "DCF77",
    .Zone = nullptr,
    .ZoneChoosable = true,
    .ParityBoxes = {"DCF77: the minute's parity, second 28", "DCF77: the hour's parity, second 35",
                    "DCF77: the date's parity, second 58"},
    .BeginSecond = BeginDcf77Second,
    .DescribeFrame = DescribeDcf77Frame,
};

void LongPulse() { Pulse.Reduce(kShortPulseTicks, kShortPulseTicks + kLongPulseExtraTicks); }

void SecondSchedule(std::uint8_t second) {
  const Entry entry = kSchedule[second];
  const TimeSample& mark = MinuteMarkTime;
  switch (entry.content) {
    case Content::Zero: break;
    // The announcements and the zone bits count in no parity.
    case Content::SummerTimeAnnouncement:
      if (AnnouncedAhead(Reading.SecondsToZoneChange)) LongPulse();
      break;
    case Content::LeapSecondAnnouncement:
      if (AnnouncedAhead(Reading.SecondsToLeapSecond)) LongPulse();
      break;
    case Content::SummerTime:
      if (mark.SummerTime) LongPulse();
      break;
    case Content::WinterTime:
      if (!mark.SummerTime) LongPulse();
      break;
    case Content::StartOfTime:
      ParityCount = 0;
      LongPulse();
      break;
    case Content::Minute: DataBit(mark.MinuteBcd, entry.bit); break;
    case Content::Hour: DataBit(mark.HourBcd, entry.bit); break;
    case Content::Day: DataBit(mark.DayBcd, entry.bit); break;
    case Content::WeekDay: DataBit(mark.WeekDay, entry.bit); break;
    case Content::Month: DataBit(mark.MonthBcd, entry.bit); break;
    case Content::Year: DataBit(mark.YearBcd, entry.bit); break;
    case Content::MinuteParity: ParitySecond(ParityBit::Minute); break;
    case Content::HourParity: ParitySecond(ParityBit::Hour); break;
    case Content::DateParity: ParitySecond(ParityBit::Date); break;
  }
}

}  // namespace timecode
