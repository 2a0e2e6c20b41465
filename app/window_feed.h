// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <cstdint>

#include "output/output.h"
#include "platform/doorbell.h"

// What the window shows of the transmission, handed from the tick's thread to the window's: the tick writes, never
// waits and never allocates, and rings; the window takes the newest when it hears the ring.
class WindowFeed : public output::Output {
 public:
  // What a second shows: the time, the zone it is told in, the clock's state, whether the pulses are held back and
  // why, if a minute is not sent whole, and the ports in trouble.
  struct Second {
    timecode::TimeSample time;
    timecode::LocalTime local;
    platform::ClockSyncState sync;
    bool holding = false;
    char spoiled[96] = "";
    std::uint32_t portTrouble = 0;
  };

  explicit WindowFeed(platform::Doorbell& doorbell) : doorbell_(doorbell) {}

  // On the tick's thread.
  void NewSecond(const timecode::TimeSample& now) override;
  void SetPulse(bool on) override;
  void SecondBegun(const output::BegunSecond& second) override;

  // On the window's thread: whether the lamp is lit, and the newest second not taken yet, or nullptr; it stays as it
  // is until the next call.
  bool Lamp() const { return lamp_.load(std::memory_order_relaxed); }
  const Second* TakeSecond();

 private:
  // Three seconds: the one the tick writes, the newest written, and the one the window reads; the two threads swap
  // theirs with the newest, which is marked fresh until the window takes it.
  static constexpr int kFresh = 4;
  Second seconds_[3];
  int writing_ = 0;
  std::atomic<int> newest_{1};
  int reading_ = 2;

  platform::Doorbell& doorbell_;
  std::atomic<bool> lamp_{false};
  bool lampTold_ = false;  // the window lights the lamp until the first tick tells it otherwise
};
