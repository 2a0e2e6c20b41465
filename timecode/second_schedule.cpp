// SPDX-License-Identifier: MIT
#include "timecode/second_schedule.h"

#include <array>

#include "timecode/tick_engine.h"
#include "timecode/tick_links.h"

namespace timecode {

std::uint8_t ParityCount = 0;

namespace {

enum class Content : std::uint8_t {
  Zero,
  SummerTime,   // bit 17: daylight-saving time at the minute mark
  WinterTime,   // bit 18: standard time at the minute mark
  StartOfTime,  // bit 20: always 1
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
  table[17] = {Content::SummerTime};
  table[18] = {Content::WinterTime};
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
  // carries no pulse at all and is never looked up: the engine sees to that.
  return table;
}();

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

}  // namespace

void LongPulse() { PulseTicks = static_cast<std::uint8_t>(PulseTicks + kLongPulseExtraTicks); }

void SecondSchedule(std::uint8_t second) {
  const Entry entry = kSchedule[second];
  const TimeSample& mark = MinuteMarkTime;
  switch (entry.content) {
    case Content::Zero: break;
    // The zone bits count in no parity.
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
