#include "tests/recording_serial_port.h"

#include "platform/serial_port.h"

namespace recording_port {

std::vector<std::string> Calls;
bool Missing = false;

namespace {
constexpr platform::PortHandle kHandedOut = 7;
}

}  // namespace recording_port

namespace platform {

using recording_port::Calls;

PortHandle OpenSerialPort(const char* name) {
  Calls.push_back(std::string("open ") + name);
  return recording_port::Missing ? kNoPort : recording_port::kHandedOut;
}

void ChangeLine(PortHandle port, LineChange change) {
  const char* kNames[] = {"set RTS", "clear RTS", "set DTR", "clear DTR"};
  const std::string call = kNames[static_cast<int>(change) - static_cast<int>(LineChange::SetRts)];
  Calls.push_back(port == recording_port::kHandedOut ? call : "stray " + call);
}

void CloseSerialPort(PortHandle port) { Calls.push_back(port == recording_port::kHandedOut ? "close" : "stray close"); }

}  // namespace platform
