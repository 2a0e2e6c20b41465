// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/minute_guard.h"
#include "app/settings.h"
#include "app/sync_gate.h"
#include "output/frame_lines.h"
#include "output/output.h"
#include "output/serial_lines.h"
#include "output/service_status.h"
#include "output/sound_output.h"
#include "platform/local_clock.h"
#include "platform/report.h"
#include "timecode/tick_engine.h"

// A port that could not be opened at start, and why, in a line for the user; whether its name stands for no serial
// port at all, which no waiting mends.
struct PortFailure {
  std::string name;
  std::string why;
  bool noSerialPort;
};

// One transmission: the code and its switches, the engine's counters, the synchronisation gate, the guard against a
// minute that cannot be sent right, and the outputs, built from the settings. Each tick it reads its clock, lets the
// engine count, decides whether the pulse goes out, tells every output, and checks when the lines' edges went out; it
// keeps no state anywhere else, so that transmitters can run side by side.
class Transmitter {
 public:
  // `host` is the host's own output, the window's display and lamp, or nullptr; it is told right after the lines, so
  // that nothing it does holds them up. The ports are not opened yet.
  Transmitter(const Settings& settings, platform::LocalClock& clock, output::Output* host = nullptr,
              platform::Reporter report = platform::Report);
  Transmitter(const Transmitter&) = delete;
  Transmitter& operator=(const Transmitter&) = delete;

  // Opens the settings' ports. With waitForThem, one that is missing or held is reported, with the system's reason,
  // and tried again every second until it opens; the others that cannot be opened are returned, and so is a name
  // that stands for no serial port at all.
  std::vector<PortFailure> OpenPorts(bool waitForThem);

  // An output of the caller's, told after the transmitter's own; for as long as the transmitter lives.
  void AddOutput(output::Output& added) { outputs_.push_back(&added); }

  // One tick, every timecode::kTickPeriod: the engine's, the pulse as the gate lets it through, and at a new second
  // what is done once a second.
  void TimerTick();

  // What it sends and where, for the line at start and the window's tooltips: "DCF77 (Germany, 77.5 kHz), the PC's
  // local time (CET), on COM1 (/dev/ttyS0)", and the sound, if any; `now` gives the zone's abbreviation. Safe beside
  // the tick's thread.
  std::string Describe(const timecode::LocalTime& now) const;
  // Without a window, before the first tick: the line at start, what it sends, where, how it is timed, and the PC
  // clock's synchronisation, which the first second then does not report again.
  void ReportStart(const std::string& timing);

  // What the window's check boxes change while the program runs.
  output::Switches& Switches() { return switches_; }
  const timecode::TimeCode& Code() const { return engine_.Code(); }
  const output::SerialLines& Lines() const { return lines_; }
  // What the sound thread got, or nullptr where there is none.
  const platform::Scheduling* SoundScheduling() const { return sound_ ? &sound_->Scheduling() : nullptr; }

 private:
  void SecondBegun(const timecode::ClockReading& reading);
  void Spoiled();

  platform::LocalClock& clock_;
  platform::Reporter report_;
  timecode::TickEngine engine_;
  output::Switches switches_;
  SyncGate gate_;
  MinuteGuard guard_;
  std::vector<std::string> portNames_;
  std::string zone_;  // empty: the system's
  std::string soundDescription_;
  bool pulseOn_ = false;
  bool pulseHeldBack_ = false;  // the gate was closed as the running pulse began
  platform::ClockSync lastSync_ = platform::ClockSync::Unknown;
  bool syncKnown_ = false;  // read at least once, so that the first reading is reported
  // Made at start-up, in the order in which they are told at each tick.
  output::SerialLines lines_;
  std::unique_ptr<output::SoundOutput> sound_;  // none where no sound can ever play
  std::unique_ptr<output::FrameLines> frames_;
  output::ServiceStatus status_;
  std::vector<output::Output*> outputs_;
};
