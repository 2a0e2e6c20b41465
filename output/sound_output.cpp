// SPDX-License-Identifier: MIT
#include "output/sound_output.h"

#include <chrono>
#include <utility>

namespace output {

namespace {

// How often a sound switched off looks whether it is wanted again: soon enough that the beep follows its box.
constexpr std::chrono::milliseconds kIdleLook{50};

}  // namespace

SoundOutput::SoundOutput(SoundSettings settings, const std::atomic<bool>* playing, platform::Reporter report)
    : player_(std::move(settings), slots_, std::move(report)), playing_(playing), thread_([this] { Run(); }) {}

SoundOutput::~SoundOutput() {
  stopping_.store(true);
  thread_.join();
}

void SoundOutput::Run() {
  while (!stopping_.load()) {
    if (playing_ == nullptr || playing_->load()) {
      player_.PlayOnce();
    } else {
      player_.Close();
      std::this_thread::sleep_for(kIdleLook);
    }
  }
  player_.Close();
}

// Told a second ahead, after the gate has heard of this one: the sound leaves the device some tens of milliseconds
// after it is made.
void SoundOutput::SecondBegun(const BegunSecond& second) {
  slots_.Feed(second.NextWallSecond, {.pattern = second.Next, .silent = second.NextHeld});
}

}  // namespace output
