// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "output/keying_slots.h"
#include "output/output.h"
#include "output/sound_player.h"
#include "platform/realtime.h"

namespace output {

// The sound, on a thread of its own: the time code on the device --audio names, or the beep on the system's default
// device. The tick tells it, a second ahead, what each second carries; it plays each second's keying from the second's
// edge on the steady clock.
class SoundOutput : public Output {
 public:
  // Plays from the first second it is told of for as long as it lives, so that a program that ends at start-up never
  // opens the device; while `playing` is false (the beep switched off) it gives the device back and plays nothing.
  // nullptr: always.
  SoundOutput(SoundSettings settings, const std::atomic<bool>* playing, const platform::Reporter& report);
  SoundOutput(const SoundOutput&) = delete;
  SoundOutput& operator=(const SoundOutput&) = delete;
  // Stops the sound thread and waits for it, but not for long: one stuck in a device that no longer answers is left
  // to the process's end, told of, rather than allowed to hold the program up.
  ~SoundOutput() override;

  // What the sound thread got (platform/realtime.h).
  const platform::Scheduling& Scheduling() const { return scheduling_; }

  // Tells the sound thread the next second's keying.
  void SecondBegun(const BegunSecond& second) override;
  // Tells it again that this second and the next are held back.
  void MinuteSpoiled(const char* why) override;

 private:
  // What the sound thread uses, kept for as long as either side needs it.
  struct Shared;
  static void Run(const std::shared_ptr<Shared>& shared, const std::atomic<bool>* playing);

  std::shared_ptr<Shared> shared_;
  platform::Scheduling scheduling_;
  SecondKeying current_, next_;  // as last told
  std::thread thread_;           // last: started once the rest is in place
};

}  // namespace output
