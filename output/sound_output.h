// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <thread>

#include "output/keying_slots.h"
#include "output/output.h"
#include "output/sound_player.h"

namespace output {

// The sound, on a thread of its own: the time code on the device --audio names, or the beep on the system's default
// device. The tick tells it, a second ahead, what each second carries; it plays each second's keying from the second's
// edge on the wall clock.
class SoundOutput : public Output {
 public:
  // Plays for as long as it lives; while `playing` is false (the beep switched off) it gives the device back and
  // plays nothing. nullptr: always.
  SoundOutput(SoundSettings settings, const std::atomic<bool>* playing, platform::Reporter report);
  SoundOutput(const SoundOutput&) = delete;
  SoundOutput& operator=(const SoundOutput&) = delete;
  ~SoundOutput() override;

  // Tells the sound thread the next second's keying.
  void SecondBegun(const BegunSecond& second) override;

 private:
  void Run();

  KeyingSlots slots_;
  SoundPlayer player_;
  const std::atomic<bool>* playing_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;  // last: started once the rest is in place, and joined before it goes
};

}  // namespace output
