// SPDX-License-Identifier: MIT
// A DCF77 minute as it went out, and what a receiver reads from it: the check a user makes before wiring a clock.

#include "timecode/second_schedule.h"
#include "timecode/text_line.h"

namespace timecode {

namespace {

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

}  // namespace

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

}  // namespace timecode
