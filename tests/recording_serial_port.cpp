#include "tests/recording_serial_port.h"

#include "platform/serial_port.h"

std::vector<std::string> recording_port::Calls;
bool recording_port::Missing = false;

namespace platform {

constexpr PortHandle kHandedOut = 7;

PortHandle OpenSerialPort(const char* name) {
  recording_port::Calls.push_back(std::string("open ") + name);
  return recording_port::Missing ? kNoPort : kHandedOut;
}

void ChangeLine(PortHandle port, LineChange change) {
  const char* kNames[] = {"set RTS", "clear RTS", "set DTR", "clear DTR"};
  const char* name = kNames[static_cast<int>(change) - static_cast<int>(LineChange::SetRts)];
  recording_port::Calls.push_back(port == kHandedOut ? name : std::string("stray ") + name);
}

void CloseSerialPort(PortHandle port) { recording_port::Calls.push_back(port == kHandedOut ? "close" : "stray close"); }

}  // namespace platform
