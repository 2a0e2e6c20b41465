// Each form of the command line: what it asks for, and the device its port stands for or the text it shows.

#include <gtest/gtest.h>

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
      {{"--port", "COM3"}, Then::OpenWindow, "/dev/ttyS2"},
      {{"--port=com12"}, Then::OpenWindow, "/dev/ttyS11"},
      {{"--port", "/dev/serial/by-id/usb-A-if00"}, Then::OpenWindow, "/dev/serial/by-id/usb-A-if00"},
      {{"--list-ports", "--port", "COM2"}, Then::ListPorts, "/dev/ttyS1"},
      {{"-h"}, Then::Exit, "  --port <name>   The serial port to use: COMn (COM1 is /dev/ttyS0) or a device"},
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
    char device[platform::kDevicePathSize] = "";
    platform::DevicePathFor(parsed.settings.PortName.c_str(), device);
    const std::string got = then != Then::Exit ? device : refused ? parsed.standardError : parsed.standardOutput;
    EXPECT_TRUE(then == Then::Exit ? got.find(expected) != std::string::npos : got == expected) << got;
  }
}

}  // namespace
