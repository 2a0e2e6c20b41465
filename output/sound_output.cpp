// SPDX-License-Identifier: MIT
#include "output/sound_output.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <utility>

namespace output {

namespace {

using namespace std::chrono_literals;

// How often a sound switched off looks whether it is wanted again: soon enough that the beep follows its box.
constexpr auto kIdleLook = 50ms;
// How long the end waits for the sound thread: more than any of its own waits on the device, and well within the
// two seconds a stop request may take.
constexpr auto kStopWait = 1s;

}  // namespace

struct SoundOutput::Shared {
  Shared(SoundSettings settings, const platform::Reporter& report)
      : device(settings.device), report(report), player(std::move(settings), slots, report) {}

  std::string device;
  platform::Reporter report;
  KeyingSlots slots;
  SoundPlayer player;
  std::atomic<bool> fed{false};  // the first second has been told: until then no device is opened
  std::atomic<bool> stopping{false};
  std::mutex lock;
  std::condition_variable changed;
  bool finished = false;  // under lock
};

// Returns once the thread has its scheduling, so that the line at start can say what it got.
SoundOutput::SoundOutput(SoundSettings settings, const std::atomic<bool>* playing, const platform::Reporter& report)
    : shared_(std::make_shared<Shared>(std::move(settings), report)) {
  thread_ = platform::StartTimingThread(platform::TimingThread::Sound, scheduling_,
                                        [shared = shared_, playing] { Run(shared, playing); });
}

// Once stopping, the thread reads nothing but what it shares with this object, so it may outlive the transmitter.
void SoundOutput::Run(const std::shared_ptr<Shared>& shared, const std::atomic<bool>* playing) {
  while (!shared->stopping.load()) {
    if (shared->fed.load() && (playing == nullptr || playing->load())) {
      shared->player.PlayOnce();
    } else {
      shared->player.Close();
      std::this_thread::sleep_for(kIdleLook);
    }
  }
  shared->player.Close();
  const std::lock_guard<std::mutex> hold(shared->lock);
  shared->finished = true;
  shared->changed.notify_all();
}

SoundOutput::~SoundOutput() {
  shared_->stopping.store(true);
  std::unique_lock<std::mutex> hold(shared_->lock);
  if (shared_->changed.wait_for(hold, kStopWait, [this] { return shared_->finished; })) {
    hold.unlock();
    thread_.join();
    return;
  }
  hold.unlock();
  char line[320];
  std::snprintf(line, sizeof line, "the sound device %s does not answer; the program ends without it",
                shared_->device.c_str());
  shared_->report(platform::Severity::Warning, line);
  thread_.detach();
}

// Told a second ahead, after the gate has heard of this one: the sound leaves the device some tens of milliseconds
// after it is made.
void SoundOutput::SecondBegun(const BegunSecond& second) {
  current_ = next_;
  next_ = {.startNanos = second.NextSteadyNanos, .pattern = second.Next, .held = second.NextHeld};
  shared_->slots.Feed(next_);
  shared_->fed.store(true);
}

void SoundOutput::MinuteSpoiled(const char*) {
  for (SecondKeying* keying : {&current_, &next_}) {
    keying->held = true;
    shared_->slots.Feed(*keying);
  }
}

}  // namespace output
