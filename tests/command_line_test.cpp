// The command line as a user gives it: the forms that run, with the port and the device each names, and those
// that only print, with their exit status and the text shown, on standard error for a form refused.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/command_line.h"
#include "platform/port_name.h"

namespace {

using Then = CommandLine::Then;

TEST(CommandLineTest, FormsAcceptedAndRefused) {
  const struct {
    QStringList arguments;
    Then then;
    const char* port;
    const char* device;
  } kRuns[] = {
      {{}, Then::OpenWindow, "COM1", "/dev/ttyS0"},
      {{"--port", "COM3"}, Then::OpenWindow, "COM3", "/dev/ttyS2"},
      {{"--port=com12"}, Then::OpenWindow, "com12", "/dev/ttyS11"},
      {{"--port", "/dev/ttyUSB0"}, Then::OpenWindow, "/dev/ttyUSB0", "/dev/ttyUSB0"},
      {{"--port", "/dev/serial/by-id/usb-A-if00"},
       Then::OpenWindow,
       "/dev/serial/by-id/usb-A-if00",
       "/dev/serial/by-id/usb-A-if00"},
      {{"--list-ports", "--port", "COM2"}, Then::ListPorts, "COM2", "/dev/ttyS1"},
  };
  for (const auto& [arguments, then, port, device] : kRuns) {
    SCOPED_TRACE(arguments.join(u' ').toStdString());
    const CommandLine commandLine = ParseCommandLine(QStringList{"velkorin"} + arguments);
    EXPECT_EQ(commandLine.then, then);
    EXPECT_EQ(commandLine.settings.PortName, port);
    char path[platform::kDevicePathSize];
    EXPECT_TRUE(platform::DevicePathFor(port, path));
    EXPECT_STREQ(path, device);
  }

  const struct {
    QStringList arguments;
    int status;
    const char* shown;
  } kExits[] = {
      {{"--help"}, 0, " [options]\nSends the PC clock's time as a DCF77 time code"},
      {{"-h"}, 0, "  --port <name>  The serial port to use: COMn (COM1 is /dev/ttyS0) or a device"},
      {{"--port", "ttyUSB0"}, kRefused, "velkorin: 'ttyUSB0' names no serial port: give COMn (COM1 is /dev/ttyS0)"},
      {{"--port", "COM0"}, kRefused, "'COM0' names no serial port"},
      {{"--port", "COM01"}, kRefused, "'COM01' names no serial port"},
      {{"--port", "COM1000"}, kRefused, "'COM1000' names no serial port"},
      {{"--port", "LPT1"}, kRefused, "'LPT1' names no serial port"},
      {{"--port"}, kRefused, "velkorin: Missing value after '--port'.\nTry 'velkorin --help' for the options.\n"},
      {{"--ports"}, kRefused, "velkorin: Unknown option 'ports'."},
      {{"COM3"}, kRefused, "velkorin: Unexpected argument 'COM3'."},
  };
  for (const auto& [arguments, status, shown] : kExits) {
    SCOPED_TRACE(arguments.join(u' ').toStdString());
    const CommandLine commandLine = ParseCommandLine(QStringList{"velkorin"} + arguments);
    EXPECT_EQ(commandLine.then, Then::Exit);
    EXPECT_EQ(commandLine.exitStatus, status);
    const bool refused = status == kRefused;
    EXPECT_THAT(refused ? commandLine.standardError : commandLine.standardOutput, testing::HasSubstr(shown));
    EXPECT_EQ(refused ? commandLine.standardOutput : commandLine.standardError, "");
  }
}

}  // namespace
