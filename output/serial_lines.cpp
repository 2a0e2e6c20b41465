#include "output/serial_lines.h"

namespace output {

PulseLinks Links;
platform::PortHandle PortHandle = platform::kNoPort;

namespace {
constexpr char kPortName[] = "COM1";
}

bool OpenPort() {
  PortHandle = platform::OpenSerialPort(kPortName);
  return PortHandle != platform::kNoPort;
}

void SetPulse(bool on) {
  Links.ShowLamp(on);
  const bool lineLevel = Links.InvertOutputChecked() ? !on : on;
  // Without a port there is nothing to switch; a descriptor number that is not ours may belong to
  // any other file by now.
  if (PortHandle == platform::kNoPort) return;
  if (lineLevel) {
    platform::ChangeLine(PortHandle, platform::LineChange::ClearDtr);
    platform::ChangeLine(PortHandle, platform::LineChange::SetRts);
  } else {
    platform::ChangeLine(PortHandle, platform::LineChange::ClearRts);
    platform::ChangeLine(PortHandle, platform::LineChange::SetDtr);
  }
}

void ClosePort() {
  if (PortHandle == platform::kNoPort) return;
  platform::CloseSerialPort(PortHandle);
  PortHandle = platform::kNoPort;
}

}  // namespace output
