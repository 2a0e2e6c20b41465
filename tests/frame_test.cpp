// Whole frames as a receiver sees them: decoded from the pulse lengths, held to the published rules of
// the code, and compared with the time at the minute mark that ends them.

#include <algorithm>
#include <utility>

#include "app/command_line.h"
#include "tests/simulated_clock.h"

namespace {

using namespace simulated;

// Year within its century, month, day, weekday (1 = Monday ... 7 = Sunday), hour, minute, summer time.
using MinuteMark = std::array<int, 7>;
using Bits = std::array<int, 60>;

// Least significant first.
int Binary(const Bits& bits, int first, int count) {
  int value = 0;
  for (int bit = 0; bit < count; ++bit) value |= bits[first + bit] << bit;
  return value;
}

// Four bits of units, then the tens.
int Bcd(const Bits& bits, int first, int tenBits, int maxTens) {
  const int units = Binary(bits, first, 4), tens = Binary(bits, first + 4, tenBits);
  EXPECT_TRUE(units <= 9 && tens <= maxTens) << "digit out of range in the field at second " << first;
  return tens * 10 + units;
}

// Decodes one frame strictly, flagging every rule it breaks. A leap second adds a 0 as second 59.
MinuteMark Decode(const std::vector<int>& pulseTicks) {
  Bits bits{};
  for (std::size_t second = 0; second + 1 < pulseTicks.size(); ++second) {
    EXPECT_TRUE(pulseTicks[second] == 11 || pulseTicks[second] == 21) << second << ": " << pulseTicks[second];
    bits[second] = pulseTicks[second] == 21;
  }
  EXPECT_EQ(pulseTicks.back(), 0) << "pulse in the minute mark";
  EXPECT_EQ(bits[59], 0) << "a 1 before a leap second";
  EXPECT_EQ(std::count(&bits[0], &bits[17], 1) + bits[19], 0) << "start, flag or leap-second bit set";
  EXPECT_EQ(bits[17] + bits[18], 1) << "not exactly one zone bit";
  EXPECT_EQ(bits[20], 1) << "start of time bit";
  for (auto [first, parity] : {std::pair{21, 28}, std::pair{29, 35}, std::pair{36, 58}})
    EXPECT_EQ(std::count(&bits[first], &bits[parity + 1], 1) % 2, 0) << "odd parity at second " << parity;
  return {Bcd(bits, 50, 4, 9),
          Bcd(bits, 45, 1, 1),
          Bcd(bits, 36, 2, 3),
          Binary(bits, 42, 3),
          Bcd(bits, 29, 2, 2),
          Bcd(bits, 21, 3, 5),
          bits[17]};
}

TEST_F(SimulatedClockTest, EachFrameCarriesTheComingMinuteMark) {
  // The minute sent in UTC: Berlin is one hour ahead in winter, two in summer.
  const struct {
    const char* name;
    sys_seconds minuteSent;
    MinuteMark mark;
    const char* zone = kBerlinZone;
    seconds length = 1min;
  } kMinutes[] = {
      {"ordinary", Utc(2025y / May / 14, 21h, 33min), {25, 5, 14, 3, 23, 34, 1}},
      {"year end", Utc(2099y / December / 31, 22h, 59min), {0, 1, 1, 5, 0, 0, 0}},
      {"into leap day", Utc(2024y / February / 28, 22h, 59min), {24, 2, 29, 4, 0, 0, 0}},
      {"out of leap day", Utc(2024y / February / 29, 22h, 59min), {24, 3, 1, 5, 0, 0, 0}},
      {"Sunday", Utc(2025y / June / 15, 5h, 44min), {25, 6, 15, 7, 7, 45, 1}},
      {"summer time begins", Utc(2026y / March / 29, 0h, 59min), {26, 3, 29, 7, 3, 0, 1}},
      {"summer time ends", Utc(2026y / October / 25, 0h, 59min), {26, 10, 25, 7, 2, 0, 0}},
      // 61 s long; a clock that counts leap seconds has counted the 26 before it as well
      {"leap second", Utc(2016y / December / 31, 23h, 59min) + 26s, {17, 1, 1, 7, 1, 0, 0}, "right/Europe/Berlin", 61s},
      {"chosen start, spring", ParseStartTime("2027-03-28 01:59").moment, {27, 3, 28, 7, 3, 0, 1}},
  };
  for (const auto& [name, minuteSent, mark, zone, length] : kMinutes) {
    SCOPED_TRACE(name);
    setenv("TZ", zone, 1);
    tzset();
    Restart();
    ToneOn = true;
    Now = minuteSent - 3s;  // the minute of the start is partial
    RunUntil(minuteSent + length);
    EXPECT_EQ(Decode(PulseLengths(minuteSent, length)), mark);
    EXPECT_FALSE(std::any_of(Ticks.begin(), Ticks.end(), [&](auto tick) {
      return tick.second == minuteSent + length - 1s && tick.beeps;
    })) << "a beep in the minute mark";
  }
}

TEST_F(SimulatedClockTest, EveryFrameOfADayCarriesTheCalendarsNextMinute) {
  constexpr hours kSummerOffset{2};  // Berlin in summer
  const sys_seconds midnight = sys_days{2025y / June / 30} - kSummerOffset;
  Now = midnight - 3s;
  for (sys_seconds minute = midnight; minute < midnight + days{1}; minute += 1min) {
    Ticks.clear();
    RunUntil(minute + 1min);
    const sys_seconds mark = minute + 1min + kSummerOffset;  // local time, counted as if it were UTC
    const sys_days day = floor<days>(mark);
    const year_month_day date{day};
    const hh_mm_ss time{mark - day};
    const MinuteMark expected{int(date.year()) % 100,
                              int(unsigned(date.month())),
                              int(unsigned(date.day())),
                              int(weekday{day}.iso_encoding()),
                              int(time.hours().count()),
                              int(time.minutes().count()),
                              1};
    ASSERT_EQ(Decode(PulseLengths(minute)), expected);
    ASSERT_FALSE(HasFailure()) << "in the frame carrying " << ::testing::PrintToString(expected);
  }
}

// --start values, read as local times in the process's zone (here Berlin's).
TEST_F(SimulatedClockTest, ChosenStartTimes) {
  const std::pair<const char*, sys_seconds> kAccepted[] = {
      {"2026-03-29 01:59:59", Utc(2026y / March / 29, 0h, 59min) + 59s},    // the last second before spring's gap
      {"2026-10-25 02:30:10", Utc(2026y / October / 25, 0h, 30min) + 10s},  // repeated: the first pass, summer time
      {"2026-10-25 03:00", Utc(2026y / October / 25, 2h, 0min)},
      {"2099-12-31 23:59", Utc(2099y / December / 31, 22h, 59min)},
  };
  for (const auto& [text, moment] : kAccepted) EXPECT_EQ(ParseStartTime(text).moment, moment) << text;
  for (const char* text :
       {"2026-03-29 02:00", "2026-03-29 02:59:59", "2026-02-29 12:00", "2026-13-01 00:00", "2026-06-01 24:00",
        "2026-06-01 12:60", "2026-06-01 12:00:60", "1999-12-31 23:59", "2100-01-01 00:00", "2026-06-01T12:00",
        "2026-6-1 12:00", "2026-06-01 12:00:5", " 2026-06-01 12:00", "2026-06-01 +1:00", ""})
    EXPECT_NE(ParseStartTime(text).refusal, nullptr) << '"' << text << '"';
}

}  // namespace
