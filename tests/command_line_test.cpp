// SPDX-License-Identifier: MIT
// Each form of the command line: what it asks for, and the device its port stands for or the text it shows; and a zone
// it names, sent.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "app/command_line.h"
#include "app/german_time.h"
#include "platform/port_name.h"
#include "tests/decoders.h"

namespace {

using Then = CommandLine::Then;
using simulated::SimulatedClockTest;

TEST(CommandLineTest, FormsAcceptedAndRefused) {
  const QTemporaryDir links;
  const QString link = links.filePath(QStringLiteral("port"));
  ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), link));
  const struct {
    QStringList arguments;
    Then then;
    const char* expected;
  } kForms[] = {
      {{}, Then::OpenWindow, "/dev/ttyS0"},
      {{"--port=com12"}, Then::OpenWindow, "/dev/ttyS11"},
      {{"--port", "/dev/serial/by-id/usb-A-if00"}, Then::OpenWindow, "/dev/serial/by-id/usb-A-if00"},
      {{"--port", "COM2", "--port=/dev/ttyUSB0"}, Then::OpenWindow, "/dev/ttyS1 /dev/ttyUSB0"},
      {{"--port", "COM1", "--port", "/dev/ttyS0"}, Then::Exit, "--port '/dev/ttyS0': that port is named twice."},
      {{"--port", "/dev/ttyS0", "--port", "/dev//ttyS0"},
       Then::Exit,
       "--port '/dev//ttyS0': that port is named twice."},
      {{"--port", "/dev/null", "--port", link}, Then::Exit, "': that port is named twice."},
      {{"--zone", "zone.tab"}, Then::Exit, "--zone 'zone.tab': there is no such time zone;"},
      {{"--zone", ""}, Then::Exit, "--zone '': the name is empty;"},
      {{"--tone", "yes"}, Then::Exit, "--tone 'yes': give on or off."},
      {{"--list-ports", "--port", "COM2"}, Then::ListPorts, "/dev/ttyS1"},
      {{"-h"}, Then::Exit, "  --port <name>             The serial port to use: COMn (COM1 is /dev/ttyS0)"},
      {{"--port", "ttyUSB0"}, Then::Exit, "'ttyUSB0' names no serial port: give COMn (COM1 is"},
      {{"--port"}, Then::Exit, "Missing value after '--port'."},
      {{"--ports"}, Then::Exit, "Unknown option 'ports'."},
      {{"COM3"}, Then::Exit, "Unexpected argument 'COM3'."},
      {{"--code", "msf", "--invert-parity", "56b", "--invert-parity=P1"},
       Then::Exit,
       "--invert-parity 'P1': MSF has no such parity bit; give 54B, 55B, 56B or 57B."},
      {{"--code", "wwvb", "--invert-parity", "P1"}, Then::Exit, "--invert-parity: WWVB has no parity bits."},
      {{"-h"}, Then::Exit, "The box Invert P3: send DCF77's P3 or MSF's 55B"},
      {{"-h"}, Then::Exit, "Usage: velkorin [options]"},
      {{"--help-all"}, Then::Exit, "Unknown option 'help-all'."},
      {{"--code", "MSF", "--port", "com3"}, Then::OpenWindow, "/dev/ttyS2"},
      {{"--code", "dcf"}, Then::Exit, "--code 'dcf': give dcf77, msf, wwvb, jjy or jjy60."},
      {{"--service"}, Then::Exit, "on Linux the systemd unit velkorin.service runs the program"},
      {{"--audio-file", "x.wav", "--no-port", "--frames"}, Then::WriteAudioFile, ""},
      {{"--audio-file", "x.wav", "--port", "COM2"}, Then::Exit, "--port: --audio-file writes a sound file and nothing"},
      {{"--audio-file", "x.wav", "--require-sync"}, Then::Exit, "--require-sync: --audio-file writes a sound file"},
  };
  for (const auto& [arguments, then, expected] : kForms) {
    SCOPED_TRACE(arguments.join(u' ').toStdString());
    const CommandLine parsed = ParseCommandLine(QStringList{"/usr/bin/velkorin"} + arguments);
    EXPECT_EQ(parsed.then, then);
    const bool refused = then == Then::Exit && parsed.standardOutput.empty();
    EXPECT_EQ(parsed.exitStatus, refused ? kRefused : 0);
    std::string devices;
    for (const std::string& name : parsed.settings.PortNames) {
      char device[platform::kDevicePathSize] = "";
      platform::DevicePathFor(name.c_str(), device);
      devices += (devices.empty() ? "" : " ") + std::string(device);
    }
    const std::string got = then != Then::Exit ? devices : refused ? parsed.refusal : parsed.standardOutput;
    EXPECT_TRUE(then == Then::Exit ? got.find(expected) != std::string::npos : got == expected) << got;
  }
}

// The switches as they start: the defaults, each box set, and the parity bits they and --invert-parity send wrong in
// each code, by its own declarations (bit i for its switch i, in the order of their seconds).
TEST(CommandLineTest, SwitchesSetFromTheCommandLine) {
  const struct {
    QStringList arguments;
    bool tone, invertOutput;
    timecode::WrongParities wrong;
  } kCases[] = {
      {{}, false, true, 0},
      {{"--tone=on", "--invert-output", "off", "--invert-p2=on"}, true, false, 0b010},
      {{"--invert-p1=on", "--invert-p3=on"}, false, true, 0b101},
      {{"--code=msf", "--invert-p1=on", "--invert-p2=on", "--invert-parity=56b"}, false, true, 0b1101},
      {{"--code=jjy", "--invert-p2=on", "--invert-p3=on"}, false, true, 0b01},
      {{"--code=jjy60", "--invert-parity", "pa2"}, false, true, 0b10},
  };
  for (const auto& [arguments, tone, invertOutput, wrong] : kCases) {
    const Settings settings = ParseCommandLine(QStringList{"velkorin"} + arguments).settings;
    EXPECT_EQ(std::tuple(settings.Tone, settings.InvertOutput, settings.WrongParities),
              std::tuple(tone, invertOutput, wrong))
        << arguments.join(u' ').toStdString();
  }
}

// --start values, read as local times in the process's zone, here Berlin's by rule.
TEST(CommandLineTest, ChosenStartTimesAcceptedAndRefused) {
  using namespace std::chrono;
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  tzset();
  const std::pair<const char*, sys_seconds> kAccepted[] = {
      {"2026-03-29 01:59:59", sys_days{2026y / March / 29} + 59min + 59s},    // the last second before spring's gap
      {"2026-10-25 02:30:10", sys_days{2026y / October / 25} + 30min + 10s},  // repeated: the first pass, summer time
      {"2026-10-25 03:00", sys_days{2026y / October / 25} + 2h},
      {"2099-12-31 23:59", sys_days{2099y / December / 31} + 22h + 59min},
  };
  for (const auto& [text, moment] : kAccepted) EXPECT_EQ(ParseStartTime(text).moment, moment) << text;
  for (const char* text :
       {"2026-03-29 02:00", "2026-03-29 02:59:59", "2026-02-29 12:00", "2026-13-01 00:00", "2026-06-01 24:00",
        "2026-06-01 12:60", "2026-06-01 12:00:60", "1999-12-31 23:59", "2100-01-01 00:00", "2026-06-01T12:00",
        "2026-6-1 12:00", "2026-06-01 12:00:5", " 2026-06-01 12:00", "2026-06-01 +1:00", ""})
    EXPECT_NE(ParseStartTime(text).refusal, nullptr) << '"' << text << '"';
}

// --zone put in use: a minute sent reads, by the strict decoder, as New York's time, and a clock that expects German
// time is told how far off it will be. Before that, in the fixture's Berlin zone, and for another code, there is
// nothing to tell.
TEST_F(SimulatedClockTest, ZoneNamedIsSent) {
  using namespace simulated;
  CommandLine parsed = ParseCommandLine({"velkorin", "--zone", "America/New_York"});
  const std::int64_t now = kMinute.time_since_epoch().count();
  EXPECT_EQ(GermanTimeWarning(parsed.settings, now), "");
  ASSERT_TRUE(TakeZone(parsed));
  EXPECT_NE(GermanTimeWarning(parsed.settings, now).find("will be 6 h behind all year"), std::string::npos);
  EXPECT_EQ(GermanTimeWarning(Unwired(timecode::kMsf), now), "");
  parsed.settings.PortNames.clear();
  Start(parsed.settings);
  clock.Now = kMinute - 3s;
  RunUntil(kMinute + 1min + 1s);
  Decoders().Minutes(timecode::kDcf77, "America/New_York", Ticks());
}

}  // namespace
