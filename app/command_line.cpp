// SPDX-License-Identifier: MIT
#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <algorithm>

#include "output/serial_lines.h"
#include "platform/clock_sync.h"
#include "platform/local_clock.h"
#include "platform/port_name.h"

namespace {

using namespace std::chrono;

CommandLine Exit(int status, const QString& standardOutput, const QString& refusal = {}) {
  CommandLine exit;
  exit.then = CommandLine::Then::Exit;
  exit.exitStatus = status;
  exit.standardOutput = standardOutput.toLocal8Bit().toStdString();
  exit.refusal = refusal.toLocal8Bit().toStdString();
  return exit;
}

const QString kOnOff = QStringLiteral("on|off");

CommandLine Refused(const QString& why) { return Exit(kRefused, {}, why); }

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

// The local time a --start text names, or why it names none, before any zone is in use.
struct LocalStart {
  const char* refusal = nullptr;
  timecode::LocalTime time{};
};

LocalStart ParseLocalStart(std::string_view text) {
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
  return {.time = wanted};
}

// The moment is found with the clock's own conversion: for each offset from UTC that the zone has a day
// before and a day after the time (no zone changes its offset twice within two days), the moment the time
// would be at that offset, if the conversion gives the time back for it.
ChosenStart MomentOf(const timecode::LocalTime& wanted) {
  const sys_seconds asIfUtc = AsIfUtc(wanted);
  std::optional<sys_seconds> first;
  for (const sys_seconds probe : {asIfUtc - days{1}, asIfUtc + days{1}}) {
    const sys_seconds moment = asIfUtc - (AsIfUtc(LocalTimeAt(probe)) - probe);
    if (AsIfUtc(LocalTimeAt(moment)) == asIfUtc && (!first || moment < *first)) first = moment;
  }
  if (!first) return {.refusal = "this time zone skips that time: its clock is set forward over it"};
  return {.moment = *first};
}

}  // namespace

ChosenStart ParseStartTime(std::string_view text) {
  const LocalStart local = ParseLocalStart(text);
  if (local.refusal != nullptr) return {.refusal = local.refusal};
  return MomentOf(local.time);
}

namespace {

// "DCF77's P1, MSF's 57B or JJY's PA2": what the window's box `box` sends wrong in each code that has a bit for it.
QString BitsOfBox(int box) {
  QStringList bits;
  const timecode::TimeCode* previous = nullptr;
  for (const timecode::TimeCode* code : timecode::kCodes) {
    for (const timecode::ParitySwitch& bit : code->Switches) {
      const bool sameAsBefore = previous != nullptr && previous->Switches.data() == code->Switches.data();
      if (bit.Box == box && !sameAsBefore) bits << QStringLiteral("%1's %2").arg(code->Title, bit.Name);
    }
    previous = code;
  }
  const QString last = bits.takeLast();
  return bits.isEmpty() ? last : bits.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

// "DCF77: P1 (second 28, the even parity of the minute), ...; MSF: ...": every code's parity bits, each code once.
QString EveryCodesBits() {
  QStringList codes;
  const timecode::TimeCode* previous = nullptr;
  for (const timecode::TimeCode* code : timecode::kCodes) {
    const bool sameAsBefore = previous != nullptr && previous->Switches.data() == code->Switches.data();
    previous = code;
    if (code->Switches.empty() || sameAsBefore) continue;
    QStringList bits;
    for (const timecode::ParitySwitch& bit : code->Switches)
      bits << QStringLiteral("%1 (second %2, %3)").arg(bit.Name).arg(bit.Second).arg(bit.Covers);
    codes << QStringLiteral("%1: %2").arg(code->Title, bits.join(QStringLiteral(", ")));
  }
  return codes.join(QStringLiteral("; "));
}

// The code's switch of that name, in any case, or -1.
int SwitchNamed(const timecode::TimeCode& code, const QString& name) {
  for (std::size_t index = 0; index < code.Switches.size(); ++index) {
    if (name.compare(QLatin1String(code.Switches[index].Name), Qt::CaseInsensitive) == 0)
      return static_cast<int>(index);
  }
  return -1;
}

QString SwitchNames(const timecode::TimeCode& code) {
  QStringList names;
  for (const timecode::ParitySwitch& bit : code.Switches) names << QLatin1String(bit.Name);
  const QString last = names.takeLast();
  return names.isEmpty() ? last : names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

}  // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Sends the PC clock's time as a long-wave time code (DCF77, MSF, WWVB or JJY) on a serial "
                     "port's DTR and RTS lines."));
  // Not Qt's own help option, whose --help-all would promise Qt's options, which the program never takes.
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Displays help on commandline options."));
  parser.addOption(help);
  const QCommandLineOption version = parser.addVersionOption();
#ifdef _WIN32
  const QString portForms = QStringLiteral("COMn");
#else
  const QString portForms = QStringLiteral("COMn (COM1 is /dev/ttyS0) or a device path such as /dev/ttyUSB0");
#endif
  const QCommandLineOption port(
      QStringLiteral("port"),
      QStringLiteral("The serial port to use: %1. Given more than once, each carries the same pulses. Default: COM1.")
          .arg(portForms),
      QStringLiteral("name"));
  const QCommandLineOption listPorts(QStringLiteral("list-ports"),
                                     QStringLiteral("Lists the serial ports present, opening none of them, and ends."));
  const QCommandLineOption requireSync(
      QStringLiteral("require-sync"),
      QStringLiteral("Send nothing while the PC's clock is not synchronised; start again at a minute mark."));
  const QCommandLineOption code(QStringLiteral("code"),
                                QStringLiteral("The time code sent: dcf77 (Germany), msf (United Kingdom), wwvb "
                                               "(United States), jjy or jjy60 (Japan, its 40 and 60 kHz stations). "
                                               "Default: dcf77."),
                                QStringLiteral("name"));
  const QCommandLineOption zone(
      QStringLiteral("zone"),
      QStringLiteral("Send the local time of the time zone <name>, an IANA name such as Europe/Berlin, with its "
                     "summer time: for DCF77 (default: the system's zone) and MSF (default: Europe/London)."),
      QStringLiteral("name"));
  const QCommandLineOption start(
      QStringLiteral("start"),
      QStringLiteral("Send local time as if the PC's clock had read <time> at start-up: \"YYYY-MM-DD HH:MM[:SS]\" "
                     "in the zone sent; an hour that autumn repeats is taken before the clock is set back."),
      QStringLiteral("time"));
  const QCommandLineOption frames(
      QStringLiteral("frames"),
      QStringLiteral("Write each minute sent on standard output: the minute it names, its bits, what they read."));
  const QCommandLineOption noWindow(
      QStringLiteral("no-window"),
      QStringLiteral("Run without a window or display, as a service does: reports on standard error, a port that "
                     "cannot be opened tried again every second."));
  const QCommandLineOption noPort(QStringLiteral("no-port"),
                                  QStringLiteral("Drive no serial port: the code goes to the sound device alone."));
  const QCommandLineOption audio(QStringLiteral("audio"),
                                 QStringLiteral("Play the code on this sound device as well, for a radio clock near "
                                                "its speaker; default for the system's default device."),
                                 QStringLiteral("device"));
  const QCommandLineOption listAudio(
      QStringLiteral("list-audio"),
      QStringLiteral("Lists the sound devices by the names --audio takes, opening none."));
  const QCommandLineOption audioRate(
      QStringLiteral("audio-rate"),
      QStringLiteral("The sound's frames a second: 48000 (default), or 192000 to send the carrier itself."),
      QStringLiteral("rate"));
  const QCommandLineOption audioFile(
      QStringLiteral("audio-file"),
      QStringLiteral("Write the code as sound into this WAV file, from the next minute mark after --start or now, "
                     "opening no device, and end."),
      QStringLiteral("file"));
  const QCommandLineOption minutes(QStringLiteral("minutes"),
                                   QStringLiteral("With --audio-file, how many whole minutes. Default: 1."),
                                   QStringLiteral("count"));
  parser.addOptions({port, listPorts, requireSync, code, zone, start, frames, noWindow, noPort, audio, listAudio,
                     audioRate, audioFile, minutes});
  QCommandLineOption service(
      QStringLiteral("service"),
      QStringLiteral("Run as a Windows service, started by the Service Control Manager, reporting to the event log."));
#ifndef _WIN32
  service.setFlags(QCommandLineOption::HiddenFromHelp);  // taken only to say where the Linux service is
#endif
  parser.addOption(service);
  // The check boxes, each as it starts: Beep and InvertOutput, then the three parity boxes, 1 to 3, each sending the
  // bit that each code declares for it wrong.
  const QCommandLineOption tone(QStringLiteral("tone"),
                                QStringLiteral("Beep during every pulse: on or off. Default: off."), kOnOff);
  const QCommandLineOption invertOutput(
      QStringLiteral("invert-output"),
      QStringLiteral("The polarity: on sets DTR and clears RTS during a pulse, off the reverse. Default: on."), kOnOff);
  std::vector<QCommandLineOption> parityBoxes;
  for (int box = 1; box <= 3; ++box) {
    parityBoxes.emplace_back(
        QStringLiteral("invert-p%1").arg(box),
        QStringLiteral("The box Invert P%1: send %2 wrong, on or off. Default: off.").arg(box).arg(BitsOfBox(box)),
        kOnOff);
  }
  const QCommandLineOption invertParity(
      QStringLiteral("invert-parity"),
      QStringLiteral("Send the code's parity bit <name> wrong, for testing decoders; may be given more than once. %1.")
          .arg(EveryCodesBits()),
      QStringLiteral("name"));
  parser.addOptions({tone, invertOutput});
  for (const QCommandLineOption& box : parityBoxes) parser.addOption(box);
  parser.addOption(invertParity);

  if (!parser.parse(arguments)) return Refused(parser.errorText());
  if (!parser.positionalArguments().isEmpty()) {
    return Refused(QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst()));
  }
  if (parser.isSet(help)) {
    // The usage line names the program as it is installed, not the path it was started by.
    return Exit(0, QStringLiteral("Usage: velkorin [options]\n") + parser.helpText().section(u'\n', 1));
  }
#ifndef _WIN32
  if (parser.isSet(service)) {
    return Refused(
        QStringLiteral("--service is the Windows service's; on Linux the systemd unit velkorin.service "
                       "runs the program without a window: sudo systemctl enable --now velkorin."));
  }
#endif
  // A sound file is written and nothing else: what it would not use is refused rather than passed over.
  if (parser.isSet(audioFile)) {
    const QCommandLineOption* const unusedByAFile[] = {&port,  &listPorts, &listAudio,    &requireSync, &noWindow,
                                                       &audio, &tone,      &invertOutput, &service};
    for (const QCommandLineOption* unused : unusedByAFile) {
      if (parser.isSet(*unused))
        return Refused(QStringLiteral("--%1: --audio-file writes a sound file and nothing else.")
                           .arg(unused->names().constLast()));
    }
  }
  if (parser.isSet(version)) {
    return Exit(0, QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion() + u'\n');
  }

  CommandLine commandLine;
  Settings& settings = commandLine.settings;
  if (parser.isSet(listPorts)) commandLine.then = CommandLine::Then::ListPorts;
  if (parser.isSet(listAudio)) commandLine.then = CommandLine::Then::ListAudio;
  if (parser.isSet(audioFile)) commandLine.then = CommandLine::Then::WriteAudioFile;
  settings.AudioDevice = parser.value(audio).toLocal8Bit().toStdString();
  settings.AudioFile = parser.value(audioFile).toLocal8Bit().toStdString();
  for (const auto& [option, value, least, most] : {std::tuple(&audioRate, &settings.AudioRate, 8'000, 384'000),
                                                   std::tuple(&minutes, &settings.Minutes, 1, 24 * 60)}) {
    if (!parser.isSet(*option)) continue;
    bool number = false;
    *value = parser.value(*option).toInt(&number);
    if (!number || *value < least || *value > most) {
      return Refused(QStringLiteral("--%1 '%2': give a whole number from %3 to %4.")
                         .arg(option->names().constFirst(), parser.value(*option))
                         .arg(least)
                         .arg(most));
    }
  }
  if (parser.isSet(minutes) && !parser.isSet(audioFile))
    return Refused(QStringLiteral("--minutes: give --audio-file."));
  if (parser.isSet(noPort) && (parser.isSet(port) || !(parser.isSet(audio) || parser.isSet(audioFile)))) {
    return Refused(QStringLiteral("--no-port: give --audio or --audio-file, and no --port."));
  }
  if (parser.isSet(noPort)) settings.PortNames.clear();
  if (parser.isSet(port)) {
    std::vector<std::string>& names = commandLine.settings.PortNames;
    std::vector<std::string> devices;
    names.clear();
    for (const QString& name : parser.values(port)) {
      char device[platform::kDevicePathSize];
      if (!platform::DevicePathFor(name.toLocal8Bit().constData(), device)) {
        return Refused(QStringLiteral("'%1' names no serial port: give %2.").arg(name, portForms));
      }
      if (std::any_of(devices.begin(), devices.end(),
                      [&](const std::string& named) { return platform::SamePort(named.c_str(), device); })) {
        return Refused(QStringLiteral("--port '%1': that port is named twice.").arg(name));
      }
      names.push_back(name.toLocal8Bit().toStdString());
      devices.emplace_back(device);
    }
    if (names.size() > output::kMostPorts) {
      return Refused(QStringLiteral("--port: at most %1 ports.").arg(output::kMostPorts));
    }
  }
  // Each box's on or off; nullopt where the option is not given.
  std::optional<bool> boxStates[5];
  const QCommandLineOption* const boxOptions[] = {&tone, &invertOutput, &parityBoxes[0], &parityBoxes[1],
                                                  &parityBoxes[2]};
  for (int at = 0; at < 5; ++at) {
    if (!parser.isSet(*boxOptions[at])) continue;
    const QString value = parser.value(*boxOptions[at]);
    if (value != QLatin1String("on") && value != QLatin1String("off")) {
      return Refused(QStringLiteral("--%1 '%2': give on or off.").arg(boxOptions[at]->names().constFirst(), value));
    }
    boxStates[at] = value == QLatin1String("on");
  }
  settings.Tone = boxStates[0].value_or(settings.Tone);
  settings.InvertOutput = boxStates[1].value_or(settings.InvertOutput);
  // The beep would want the sound device the code is played on.
  if (settings.Tone && !settings.AudioDevice.empty()) {
    return Refused(QStringLiteral("--tone on: the sound device plays the time code (--audio)."));
  }
  commandLine.settings.NoWindow = parser.isSet(noWindow);
  commandLine.settings.Service = parser.isSet(service);
  commandLine.settings.NoWindow = commandLine.settings.NoWindow || commandLine.settings.Service;
  commandLine.settings.RequireSync = parser.isSet(requireSync);
  if (commandLine.settings.RequireSync && platform::ReadClockSync().sync == platform::ClockSync::Unknown) {
    return Refused(QStringLiteral("--require-sync: this system does not tell whether its clock is synchronised."));
  }
  if (parser.isSet(code)) {
    const QString name = parser.value(code);
    QStringList names;
    for (const timecode::TimeCode* known : timecode::kCodes) {
      if (name.compare(QLatin1String(known->Name), Qt::CaseInsensitive) == 0) commandLine.settings.Code = known;
      names << QLatin1String(known->Name);
    }
    if (name.compare(QLatin1String(settings.Code->Name), Qt::CaseInsensitive) != 0) {
      const QString last = names.takeLast();
      return Refused(QStringLiteral("--code '%1': give %2 or %3.").arg(name, names.join(QStringLiteral(", ")), last));
    }
  }
  // The parity bits sent wrong, by the code's own declarations: each box's, then each named.
  const timecode::TimeCode& sent = *settings.Code;
  for (std::size_t index = 0; index < sent.Switches.size(); ++index) {
    const int box = sent.Switches[index].Box;
    if (box > 0 && boxStates[box + 1].value_or(false)) settings.WrongParities |= timecode::WrongParities{1} << index;
  }
  for (const QString& name : parser.values(invertParity)) {
    const int index = SwitchNamed(sent, name);
    if (sent.Switches.empty())
      return Refused(QStringLiteral("--invert-parity: %1 has no parity bits.").arg(sent.Title));
    if (index < 0) {
      return Refused(QStringLiteral("--invert-parity '%1': %2 has no such parity bit; give %3.")
                         .arg(name, sent.Title, SwitchNames(sent)));
    }
    settings.WrongParities |= timecode::WrongParities{1} << index;
  }
  // The zone the code's time is taken in, which --start is read in once it is in use.
  if (parser.isSet(zone) && !sent.ZoneChoosable) {
    return Refused(QStringLiteral("--zone: %1 always carries %2 time.").arg(sent.Title, sent.Zone));
  }
  // An empty name would leave the system's zone in use, as if --zone had not been given.
  if (parser.isSet(zone) && parser.value(zone).isEmpty()) {
    return Refused(QStringLiteral("--zone '': the name is empty; give an IANA name such as Europe/Berlin."));
  }
  const QString zoneName = parser.isSet(zone) ? parser.value(zone) : QString::fromLatin1(sent.Zone);
  if (!zoneName.isEmpty() && !platform::ZoneExists(zoneName.toLocal8Bit().constData())) {
    return Refused(QStringLiteral("--zone '%1': there is no such time zone; give an IANA name such as "
                                  "Europe/Berlin.")
                       .arg(zoneName));
  }
  settings.Zone = zoneName.toLocal8Bit().toStdString();
  settings.Frames = parser.isSet(frames);
  if (parser.isSet(start)) {
    const LocalStart local = ParseLocalStart(parser.value(start).toStdString());
    if (local.refusal) return Refused(QStringLiteral("--start \"%1\": %2.").arg(parser.value(start), local.refusal));
    commandLine.startAt = local.time;
    commandLine.startText = parser.value(start).toStdString();
  }
  return commandLine;
}

bool TakeZone(CommandLine& commandLine) {
  const Settings& settings = commandLine.settings;
  if (!settings.Zone.empty()) platform::UseZone(settings.Zone.c_str());
  if (!commandLine.startAt) return true;
  const ChosenStart chosen = MomentOf(*commandLine.startAt);
  if (chosen.refusal == nullptr) {
    commandLine.settings.Start = chosen.moment;
    return true;
  }
  commandLine = Refused(QStringLiteral("--start \"%1\": %2.")
                            .arg(QString::fromStdString(commandLine.startText), QLatin1String(chosen.refusal)));
  return false;
}
