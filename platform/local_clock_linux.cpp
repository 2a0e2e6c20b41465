// SPDX-License-Identifier: MIT
#include <sys/stat.h>
#include <sys/timex.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/local_clock.h"
#include "platform/steady_clock.h"
#include "platform/zone.h"
#include "timecode/time_code.h"

namespace platform {

namespace {

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
constexpr long kNanosPerTick = kNanosPerSecond / timecode::kTicksPerSecond;

std::int64_t CivilSeconds(const tm& utc) {
  using namespace std::chrono;
  const sys_days day{year{utc.tm_year + 1900} / (utc.tm_mon + 1) / utc.tm_mday};
  const sys_seconds moment = day + hours{utc.tm_hour} + minutes{utc.tm_min} + seconds{utc.tm_sec};
  return moment.time_since_epoch().count();
}

// The first bytes of every file of the zone database that is a zone.
constexpr char kZoneMagic[] = {'T', 'Z', 'i', 'f'};

// A name as the zone database files it: relative, without a way up and out of the database.
bool LooksLikeZoneName(const char* name) {
  return name[0] != '\0' && name[0] != '/' && name[0] != ':' && std::strstr(name, "..") == nullptr;
}

}  // namespace

// The flags say it whatever the state, TIME_ERROR (the clock marked unsynchronised) included, except after the leap
// second, in TIME_WAIT, until the daemon clears them.
KernelLeap KernelLeapFrom(int clockState, int status) {
  if (clockState == TIME_OOP) return {.pending = 1, .inserting = true};
  const bool flagged = clockState != TIME_WAIT && clockState >= 0;
  if (clockState == TIME_INS || (flagged && (status & STA_INS))) return {.pending = 1};
  if (clockState == TIME_DEL || (flagged && (status & STA_DEL))) return {.pending = -1};
  return {};
}

// The C library reads the zone database itself, given the name in TZ; for a name it does not find, or a file that is
// no zone (the database's own tables, zone.tab and tzdata.zi, lie beside the zones), it quietly falls back to UTC. So
// the file is looked for first, and its first bytes must be the zone file's magic.
bool ZoneExists(const char* name) {
  const char* database = std::getenv("TZDIR");
  char path[512];
  const int length = std::snprintf(path, sizeof path, "%s/%s", database ? database : "/usr/share/zoneinfo", name);
  struct stat file {};
  if (!LooksLikeZoneName(name) || length < 0 || static_cast<std::size_t>(length) >= sizeof path ||
      ::stat(path, &file) != 0 || !S_ISREG(file.st_mode))
    return false;
  FILE* zone = std::fopen(path, "rb");
  if (zone == nullptr) return false;
  char magic[sizeof kZoneMagic] = {};
  const bool isZone =
      std::fread(magic, 1, sizeof magic, zone) == sizeof magic && std::memcmp(magic, kZoneMagic, sizeof magic) == 0;
  std::fclose(zone);
  return isZone;
}

bool UseZone(const char* name) {
  if (!ZoneExists(name)) return false;
  ::setenv("TZ", name, 1);
  ::tzset();
  return true;
}

void ForgetZoneRules::operator()(ZoneRules*) const {}

KeptZoneRules KeepZoneRules() { return nullptr; }

timecode::LocalTime ZonedTime(std::int64_t unixSeconds, ZoneRules*) {
  const time_t moment = unixSeconds;
  tm local{};
  ::localtime_r(&moment, &local);
  timecode::LocalTime time{.Year = local.tm_year + 1900,
                           .Month = local.tm_mon + 1,
                           .Day = local.tm_mday,
                           .Hour = local.tm_hour,
                           .Minute = local.tm_min,
                           .Second = local.tm_sec,
                           .DaysSinceSunday = local.tm_wday,
                           .SummerTime = local.tm_isdst > 0,
                           .UtcOffsetSeconds = static_cast<int>(local.tm_gmtoff)};
  if (local.tm_zone != nullptr) std::strncpy(time.Zone, local.tm_zone, sizeof time.Zone - 1);
  return time;
}

// The C library counts a right/ zone's leap seconds in its UTC as well: the UTC day's last second then shows as
// second 60. The zone database has them only at the ends of UTC months.
std::int64_t SecondsToCountedLeapSecond(std::int64_t mark) {
  tm utc{};
  time_t moment = mark - 1;
  ::gmtime_r(&moment, &utc);
  if (utc.tm_sec == 60) return 0;
  moment = mark;
  ::gmtime_r(&moment, &utc);
  tm monthEnd{};
  monthEnd.tm_mday = 1;
  monthEnd.tm_mon = (utc.tm_mon + 1) % 12;
  monthEnd.tm_year = utc.tm_year + (utc.tm_mon == 11);
  // Without a leap second this would be the next month's first moment; with one, the leap second itself.
  const std::int64_t toMonthEnd = CivilSeconds(monthEnd) - CivilSeconds(utc);
  moment = mark + toMonthEnd;
  ::gmtime_r(&moment, &utc);
  return utc.tm_sec == 60 ? toMonthEnd + 1 : timecode::kNothingAhead;
}

timecode::ClockReading LocalClock::Read() {
  timespec now{};
  const SteadyBeside steady = ReadBesideSteady([&now] { ::clock_gettime(CLOCK_REALTIME, &now); });
  // Read once a second, and again when the clock goes back within a second: that is how the kernel inserts a leap
  // second, and then it says so. One call a second, on the tick that begins it, is all it costs. A chosen time is not
  // the one the kernel's leap second belongs to.
  if (offsetSeconds_ == 0 && (now.tv_sec != readInSecond_ || now.tv_nsec < nanosLastRead_)) {
    timex kernel{};  // modes 0: read only, which needs no privilege
    const int clockState = ::ntp_adjtime(&kernel);
    kernelLeap_ = KernelLeapFrom(clockState, kernel.status);
    readInSecond_ = now.tv_sec;
  }
  nanosLastRead_ = now.tv_nsec;
  timecode::ClockReading reading = At(now.tv_sec + offsetSeconds_, offsetSeconds_ == 0 ? kernelLeap_ : KernelLeap{});
  reading.TickCount += now.tv_nsec / kNanosPerTick;
  reading.WallNanos = (now.tv_sec + offsetSeconds_) * kNanosPerSecond + now.tv_nsec;
  reading.SteadyNanos = steady.nanos;
  reading.SteadyUncertainty = steady.uncertainty;
  return reading;
}

std::int64_t LocalClock::WallNanos() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return (now.tv_sec + offsetSeconds_) * kNanosPerSecond + now.tv_nsec;
}

}  // namespace platform
