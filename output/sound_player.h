// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "output/keyed_tone.h"
#include "platform/audio_device.h"
#include "platform/report.h"

// The sound thread's work, one stretch of frames at a time: each second's keying played from the second's edge on the
// steady clock, by the device's own report of when the frames it is given will leave it. A dropout (the device running
// dry, taken by another program, unplugged) is reported once; the stream goes on from the next frames, and a device
// that went away is tried again every second.

namespace output {

struct SoundSettings {
  std::string device;  // as --audio names it, or the system's default for the beep
  int rate = 48'000;   // asked for; the device may grant another
  ToneKeying tone{};
  const char* sounds = "the time code";  // what the reports call what it plays
};

class SoundPlayer {
 public:
  SoundPlayer(SoundSettings settings, KeyingSource& keying, platform::Reporter report);
  SoundPlayer(const SoundPlayer&) = delete;
  SoundPlayer& operator=(const SoundPlayer&) = delete;
  ~SoundPlayer() { Close(); }

  // Plays the next stretch of frames on the device, opening it first where it is not open, or waits a while for it.
  void PlayOnce();
  // Gives the device back, as when the beep is switched off; the next PlayOnce opens it again.
  void Close();

  // How far the device's last report of when the next frame leaves was from where the player had put that frame, in
  // nanoseconds: how far off the keying's edges leave the device; for measuring that.
  std::int64_t LastDeviationNanos() const { return deviation_; }

 private:
  void Tell(platform::Severity severity, const char* what, platform::SystemError error);
  void DroppedOut(platform::SystemError error);
  void Lost(platform::SystemError error);
  void Open();

  SoundSettings settings_;
  KeyingSource& keying_;
  platform::Reporter report_;
  platform::AudioDevice* device_ = nullptr;
  KeyedTone tone_;
  std::vector<std::int16_t> frames_;
  std::int64_t nextFrameNanos_ = 0;  // of the next stretch, as followed
  std::int64_t deviation_ = 0;       // of the device's last report from that
  bool lost_ = false;                // told that the device is away; told again once it is back
  bool droppedOut_ = false;          // told of a dropout; not again until the stream has run a while
  int stretchesSinceDropout_ = 0;
  std::chrono::steady_clock::time_point nextAttempt_{};
};

}  // namespace output
