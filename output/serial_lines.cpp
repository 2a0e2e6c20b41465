#include "output/serial_lines.h"

#include "timecode/tick_engine.h"

namespace output {

PulseLinks Links;
platform::PortHandle PortHandle = platform::kNoPort;
bool HoldingPulses = false;

namespace {
constexpr char kPortName[] = "COM1";
}

bool OpenPort() {
  PortHandle = platform::OpenSerialPort(kPortName);
  return PortHandle != platform::kNoPort;
}

// Told during the silent second 59, after its tick, the gate opens in time for the pulse of second 0.
void GateSending(bool clockSynchronised, std::uint8_t second) {
  if (!clockSynchronised) {
    HoldingPulses = true;
  } else if (second == timecode::kMinuteMarkSecond) {
    HoldingPulses = false;
  }
}

void SetPulse(bool on) {
  if (HoldingPulses) on = false;
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
