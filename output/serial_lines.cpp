// SPDX-License-Identifier: MIT
#include "output/serial_lines.h"

#include <cstdio>
#include <utility>

namespace output {

namespace {

// A port that is away is tried again on the idle tick this many ticks after the last pulse began, and every
// second's worth of idle ticks after that: never on a tick that starts a pulse, and far enough from the next
// one that an opening which takes a while cannot delay it.
constexpr int kIdleTicksBeforeRetry = 40;

}  // namespace

SerialLines::SerialLines(const Switches& switches, platform::Reporter report)
    : switches_(switches), report_(std::move(report)) {
  ports_.reserve(kMostPorts);
}

platform::PortOpening SerialLines::AddPort(const char* name, bool waitForIt) {
  const platform::PortOpening opening = platform::OpenSerialPort(name);
  const bool waited = waitForIt && opening.noSerialPort == nullptr;
  if ((opening.handle == platform::kNoPort && !waited) || ports_.size() == kMostPorts) return opening;
  ports_.push_back(std::make_unique<PortLines>(name, opening));
  return opening;
}

void SerialLines::SetPulse(bool on) {
  const bool lineLevel = switches_.InvertOutput.load(std::memory_order_relaxed) ? !on : on;
  idleTicks_ = on ? 0 : (idleTicks_ + 1) % timecode::kTicksPerSecond;
  for (const auto& port : ports_) {
    if (port->Away() && idleTicks_ == kIdleTicksBeforeRetry) port->TryAgain();
    port->SetLines(on, lineLevel);
  }
  for (const auto& port : ports_) port->ReportWhatChanged(report_);
}

void SerialLines::DescribePorts(char* text, std::size_t size) const {
  std::size_t used = 0;
  for (const bool away : {false, true}) {
    const char* before = away ? (used > 0 ? "; waiting for " : "waiting for ") : "on ";
    for (const auto& port : ports_) {
      if (port->Away() != away || used >= size) continue;
      const int written = std::snprintf(text + used, size - used, "%s%s", before, port->Title());
      used += written > 0 ? static_cast<std::size_t>(written) : 0;
      before = " and ";
    }
  }
  if (ports_.empty() && size > 0) std::snprintf(text, size, "on no port");
}

// Two bits a port: whether it is away, whether it refuses its lines.
static_assert(2 * kMostPorts <= 32, "two bits a port");

std::uint32_t SerialLines::Trouble() const {
  std::uint32_t trouble = 0;
  for (std::size_t index = 0; index < ports_.size(); ++index) {
    trouble |= static_cast<std::uint32_t>(ports_[index]->Away() | ports_[index]->Refusing() << 1) << (2 * index);
  }
  return trouble;
}

void SerialLines::DescribeTrouble(char* text, std::size_t size) const {
  std::size_t used = 0;
  if (size > 0) text[0] = '\0';
  for (const auto& port : ports_) {
    const char* state = port->Lost() ? "lost" : port->Away() ? "missing" : port->Refusing() ? "refuses its lines" : "";
    if (*state == '\0' || used >= size) continue;
    const int written = std::snprintf(text + used, size - used, "%s%s %s", used > 0 ? ", " : "", port->Name(), state);
    used += written > 0 ? static_cast<std::size_t>(written) : 0;
  }
}

}  // namespace output
