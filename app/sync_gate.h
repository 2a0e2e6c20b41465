// SPDX-License-Identifier: MIT
#pragma once

// The guard against sending a wrong time, with --require-sync: told once a second, after that second's pulse has
// begun, whether the PC's clock is synchronised. It holds the pulses back as soon as it is not, and lets them through
// again only from a minute mark on, so that a receiver never sees a frame that began while the clock was not
// synchronised: the first pulse sent again is that of second 0. Without --require-sync it never holds anything back.
class SyncGate {
 public:
  // With --require-sync nothing is sent before the first minute mark at which the clock is synchronised.
  explicit SyncGate(bool requireSync) : requireSync_(requireSync), holding_(requireSync) {}

  bool Holding() const { return holding_; }

  // Told during second 59, after its tick, the gate opens in time for the pulse of second 0; in a minute with a leap
  // second that is told again in its second 60, the minute mark then.
  void Tell(bool clockSynchronised, int second) {
    constexpr int kLastSecondOfAMinute = 59;
    if (!requireSync_) return;
    if (!clockSynchronised) {
      holding_ = true;
    } else if (second >= kLastSecondOfAMinute) {
      holding_ = false;
    }
  }

 private:
  bool requireSync_;
  bool holding_;
};
