#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/clock_sync.h"
#include "platform/local_clock.h"

namespace {

using namespace std::chrono;

[[noreturn]] void Refuse(const QString& why) {
  std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(why));
  std::exit(2);
}

// The digits at `at`, or -1 if there are not `count` of them there.
int Number(std::string_view text, std::size_t at, std::size_t count) {
  if (at + count > text.size()) return -1;
  int value = 0;
  for (const char digit : text.substr(at, count)) {
    if (digit < '0' || digit > '9') return -1;
    value = value * 10 + (digit - '0');
  }
  return value;
}

// A local time's fields counted as if they were UTC, so that two local times compare as moments would.
sys_seconds AsIfUtc(const timecode::LocalTime& time) {
  const year_month_day date{year{time.Year}, month{static_cast<unsigned>(time.Month)},
                            day{static_cast<unsigned>(time.Day)}};
  return sys_days{date} + hours{time.Hour} + minutes{time.Minute} + seconds{time.Second};
}

timecode::LocalTime LocalTimeAt(sys_seconds moment) {
  return platform::LocalClockAt(moment.time_since_epoch().count()).Now;
}

}  // namespace

// The moment is found with the clock's own conversion: for each offset from UTC that the zone has a day
// before and a day after the time (no zone changes its offset twice within two days), the moment the time
// would be at that offset, if the conversion gives the time back for it.
ChosenStart ParseStartTime(std::string_view text) {
  const bool withSeconds = text.size() == 19;
  const bool shaped = (text.size() == 16 || withSeconds) && text[4] == '-' && text[7] == '-' && text[10] == ' ' &&
                      text[13] == ':' && (!withSeconds || text[16] == ':');
  const timecode::LocalTime wanted{.Year = Number(text, 0, 4),
                                   .Month = Number(text, 5, 2),
                                   .Day = Number(text, 8, 2),
                                   .Hour = Number(text, 11, 2),
                                   .Minute = Number(text, 14, 2),
                                   .Second = withSeconds ? Number(text, 17, 2) : 0};
  if (!shaped || std::min({wanted.Year, wanted.Month, wanted.Day, wanted.Hour, wanted.Minute, wanted.Second}) < 0)
    return {.refusal = "give it as \"YYYY-MM-DD HH:MM\" or \"YYYY-MM-DD HH:MM:SS\""};
  if (wanted.Year < 2000 || wanted.Year > 2099) return {.refusal = "the year must be 2000 to 2099"};
  const year_month_day date{year{wanted.Year}, month{static_cast<unsigned>(wanted.Month)},
                            day{static_cast<unsigned>(wanted.Day)}};
  if (!date.ok() || wanted.Hour > 23 || wanted.Minute > 59 || wanted.Second > 59)
    return {.refusal = "there is no such date or time"};

  const sys_seconds asIfUtc = AsIfUtc(wanted);
  std::optional<sys_seconds> first;
  for (const sys_seconds probe : {asIfUtc - days{1}, asIfUtc + days{1}}) {
    const sys_seconds moment = asIfUtc - (AsIfUtc(LocalTimeAt(probe)) - probe);
    if (AsIfUtc(LocalTimeAt(moment)) == asIfUtc && (!first || moment < *first)) first = moment;
  }
  if (!first) return {.refusal = "this time zone skips that time: its clock is set forward over it"};
  return {.moment = *first};
}

Settings ParseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Sends the PC's local time as a DCF77 time code on the first serial port's DTR and RTS lines."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption requireSync(
      QStringLiteral("require-sync"),
      QStringLiteral("Send nothing while the PC's clock is not synchronised; start again at a minute mark."));
  const QCommandLineOption start(
      QStringLiteral("start"),
      QStringLiteral("Send local time as if the PC's clock had read <time> at start-up: \"YYYY-MM-DD HH:MM[:SS]\" "
                     "in this time zone (TZ); an hour that autumn repeats is taken before the clock is set back."),
      QStringLiteral("time"));
  parser.addOptions({requireSync, start});
  if (!parser.parse(arguments)) Refuse(parser.errorText());
  if (parser.isSet(QStringLiteral("help"))) parser.showHelp(0);
  if (parser.isSet(QStringLiteral("version"))) parser.showVersion();
  if (!parser.positionalArguments().isEmpty())
    Refuse(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

  Settings settings;
  settings.RequireSync = parser.isSet(requireSync);
  if (settings.RequireSync && platform::ReadClockSync().sync == platform::ClockSync::Unknown)
    Refuse(QStringLiteral("--require-sync: this system does not tell whether its clock is synchronised"));
  if (parser.isSet(start)) {
    const std::string text = parser.value(start).toStdString();
    const ChosenStart chosen = ParseStartTime(text);
    if (chosen.refusal) Refuse(QStringLiteral("--start \"%1\": %2").arg(parser.value(start), chosen.refusal));
    settings.Start = chosen.moment;
  }
  return settings;
}
