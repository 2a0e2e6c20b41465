// SPDX-License-Identifier: MIT
#include "tests/recording_serial_port.h"

#include <cstdio>

#include "platform/serial_port.h"

namespace recording_port {

std::vector<std::string> Calls;
bool Missing = false;
platform::SystemError LineError = 0;

namespace {
constexpr platform::PortHandle kHandedOut = 7;
}

}  // namespace recording_port

namespace platform {

using recording_port::Calls;

PortOpening OpenSerialPort(const char* name) {
  Calls.push_back(std::string("open ") + name);
  PortOpening opening{recording_port::Missing ? kNoPort : recording_port::kHandedOut, "open", ENOENT};
  std::snprintf(opening.device, sizeof opening.device, "%s", name);
  return opening;
}

SystemError ChangeLine(PortHandle port, LineChange change) {
  const char* kNames[] = {"set RTS", "clear RTS", "set DTR", "clear DTR"};
  const std::string call = kNames[static_cast<int>(change) - static_cast<int>(LineChange::SetRts)];
  Calls.push_back(port == recording_port::kHandedOut ? call : "stray " + call);
  return recording_port::LineError;
}

bool MeansPortGone(SystemError error) { return error == recording_port::kGone; }

void CloseSerialPort(PortHandle port) { Calls.push_back(port == recording_port::kHandedOut ? "close" : "stray close"); }

}  // namespace platform
