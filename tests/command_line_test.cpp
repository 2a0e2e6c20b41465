// SPDX-License-Identifier: MIT
// Each form of the command line: what it asks for, and the device its port stands for or the text it shows.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>

#include "app/command_line.h"
#include "platform/port_name.h"

namespace {

using Then = CommandLine::Then;

TEST(CommandLineTest, FormsAcceptedAndRefused) {
  const struct {
    QStringList arguments;
    Then then;
    const char* expected;
  } kForms[] = {
      {{}, Then::OpenWindow, "/dev/ttyS0"},
      {{"--port=com12"}, Then::OpenWindow, "/dev/ttyS11"},
      {{"--port", "/dev/serial/by-id/usb-A-if00"}, Then::OpenWindow, "/dev/serial/by-id/usb-A-if00"},
      {{"--port", "COM2", "--port=/dev/ttyUSB0"}, Then::OpenWindow, "/dev/ttyS1 /dev/ttyUSB0"},
      {{"--port", "COM1", "--port", "/dev/ttyS0"},
       Then::Exit,
       "velkorin: --port '/dev/ttyS0': that port is named twice."},
      {{"--tone", "yes"}, Then::Exit, "velkorin: --tone 'yes': give on or off."},
      {{"--list-ports", "--port", "COM2"}, Then::ListPorts, "/dev/ttyS1"},
      {{"-h"}, Then::Exit, "  --port <name>             The serial port to use: COMn (COM1 is /dev/ttyS0)"},
      {{"--port", "ttyUSB0"}, Then::Exit, "velkorin: 'ttyUSB0' names no serial port: give COMn (COM1 is"},
      {{"--port"}, Then::Exit, "velkorin: Missing value after '--port'.\nTry 'velkorin --help' for the options.\n"},
      {{"--ports"}, Then::Exit, "velkorin: Unknown option 'ports'."},
      {{"COM3"}, Then::Exit, "velkorin: Unexpected argument 'COM3'."},
  };
  for (const auto& [arguments, then, expected] : kForms) {
    SCOPED_TRACE(arguments.join(u' ').toStdString());
    const CommandLine parsed = ParseCommandLine(QStringList{"velkorin"} + arguments);
    EXPECT_EQ(parsed.then, then);
    const bool refused = std::string(expected).starts_with("velkorin: ");
    EXPECT_EQ(parsed.exitStatus, refused ? kRefused : 0);
    std::string devices;
    for (const std::string& name : parsed.settings.PortNames) {
      char device[platform::kDevicePathSize] = "";
      platform::DevicePathFor(name.c_str(), device);
      devices += (devices.empty() ? "" : " ") + std::string(device);
    }
    const std::string got = then != Then::Exit ? devices : refused ? parsed.standardError : parsed.standardOutput;
    EXPECT_TRUE(then == Then::Exit ? got.find(expected) != std::string::npos : got == expected) << got;
  }
}

// Each box as it starts: the defaults, and each one set.
TEST(CommandLineTest, BoxesSetFromTheCommandLine) {
  const auto boxes = [](const QStringList& arguments) {
    const BoxStates b = ParseCommandLine(QStringList{"velkorin"} + arguments).settings.Boxes;
    return std::vector<bool>{b.Tone, b.InvertOutput, b.InvertP1, b.InvertP2, b.InvertP3};
  };
  EXPECT_EQ(boxes({}), (std::vector<bool>{false, true, false, false, false}));
  EXPECT_EQ(boxes({"--tone=on", "--invert-output", "off", "--invert-p1=on", "--invert-p2=on", "--invert-p3=on"}),
            (std::vector<bool>{true, false, true, true, true}));
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

}  // namespace
