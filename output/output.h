// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/clock_sync.h"
#include "timecode/local_time.h"
#include "timecode/time_code.h"
#include "timecode/time_sample.h"

// What the transmitter tells the outputs that carry its time code out: the serial lines, the lamp, the sound, the
// frame lines and the service manager's status each take what they need of it.

namespace output {

// The switches a user sets at start and may change while the program runs (the window's check boxes): read where they
// act, by the tick and by the sound thread, never remembered.
struct Switches {
  std::atomic<bool> Tone{false};         // a beep during every pulse
  std::atomic<bool> InvertOutput{true};  // DTR set and RTS clear during a pulse, rather than the reverse
  std::atomic<timecode::WrongParities> WrongParities{0};
};

// One second as it was begun, told once the tick that began it has set its pulse going.
struct BegunSecond {
  const timecode::ClockReading& Reading;  // the clock as the second began
  const timecode::TimeSample& Time;       // the time shown
  const timecode::SecondPattern& Pattern;
  bool Sent;  // false when the pulses are held back, as the gate holds them while the clock is not synchronised
  const char* Spoiled;  // why nothing more is sent in this minute, or nullptr
  // The next second's pattern as the code gives it now, for an output that must send ahead of time; whether it is
  // held back; and when it begins on the steady clock (platform/steady_clock.h).
  const timecode::SecondPattern& Next;
  bool NextHeld;
  std::int64_t NextSteadyNanos;
  platform::ClockSyncState Sync;  // the PC clock's, read as the second began
  std::uint32_t PortTrouble;      // the ports whose lines do not go out as sent (SerialLines::Trouble)
};

// An output: told at every tick whether a pulse is on, and at every new second what it carries. Every call comes from
// the tick; none may block or allocate on it.
class Output {
 public:
  virtual ~Output() = default;
  // The tick that begins a new second, before its pulse: the time it shows.
  virtual void NewSecond(const timecode::TimeSample& now) { (void)now; }
  // Every tick: whether a pulse is on now, the carrier reduced, as the gate lets it through.
  virtual void SetPulse(bool on) { (void)on; }
  // The tick that began a second, once every output's pulse is set: the rest of what is done once a second.
  virtual void SecondBegun(const BegunSecond& second) { (void)second; }
  // Nothing more is sent in this minute, for the reason given: what is already on its way is held back.
  virtual void MinuteSpoiled(const char* why) { (void)why; }
};

}  // namespace output
