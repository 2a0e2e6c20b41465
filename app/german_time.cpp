// SPDX-License-Identifier: MIT
#include "app/german_time.h"

#include <chrono>

#include "platform/local_clock.h"
#include "timecode/codes.h"

namespace {

using namespace std::chrono;

// Mid-winter and mid-summer, well away from the spring and autumn in which zones change to and from summer time; and
// Germany's offsets from UTC then.
constexpr month_day kWinter = January / 15, kSummer = July / 15;
constexpr seconds kGermanWinter = 1h, kGermanSummer = 2h;

seconds OffsetOn(year inYear, month_day day) {
  return seconds{
      platform::LocalClockAt(sys_seconds{sys_days{inYear / day}}.time_since_epoch().count()).Now.UtcOffsetSeconds};
}

// "1 h behind", "4 h 30 min ahead", "right": a clock that takes the time sent for German time, against German time.
std::string Off(seconds sent, seconds german) {
  if (sent == german) return "right";
  const minutes off = duration_cast<minutes>(sent > german ? sent - german : german - sent);
  std::string text = off >= 1h ? std::to_string(off / 1h) + " h" : "";
  if (off % 1h != 0min) text += (text.empty() ? "" : " ") + std::to_string((off % 1h).count()) + " min";
  return text + (sent < german ? " behind" : " ahead");
}

}  // namespace

std::string GermanTimeWarning(const Settings& settings, std::int64_t unixSeconds) {
  if (settings.Code != &timecode::kDcf77) return {};
  const year inYear = year_month_day{floor<days>(sys_seconds{seconds{unixSeconds}})}.year();
  const seconds winter = OffsetOn(inYear, kWinter), summer = OffsetOn(inYear, kSummer);
  if (winter == kGermanWinter && summer == kGermanSummer) return {};
  const std::string winterOff = Off(winter, kGermanWinter), summerOff = Off(summer, kGermanSummer);
  std::string zone = settings.Zone;
  if (zone.empty()) {
    const timecode::LocalTime now = platform::LocalClockAt(unixSeconds).Now;
    zone = now.Zone[0] == '\0' ? "the system's zone" : std::string("the system's zone (") + now.Zone + ')';
  }
  return "DCF77 is sent in the time of " + zone + ": clocks that expect German time will be " +
         (winterOff == summerOff ? winterOff + " all year" : winterOff + " in winter and " + summerOff + " in summer") +
         "; --zone Europe/Berlin sends German time.";
}
