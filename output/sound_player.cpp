// SPDX-License-Identifier: MIT
#include "output/sound_player.h"

#include <algorithm>
#include <cstdio>
#include <thread>
#include <utility>

#include "platform/steady_clock.h"

namespace output {

namespace {

using namespace std::chrono_literals;

constexpr int kChunkMilliseconds = 5;
constexpr std::int64_t kNanosPerMillisecond = 1'000'000, kNanosPerSecond = 1'000'000'000;
// The device's reports of when the next frame plays jitter by its pointer's granularity: the time of each stretch
// follows from the last one's, drawn slowly towards the reports, and taken afresh from them only where the two
// differ by more than this, as after a dropout.
constexpr std::int64_t kResyncNanos = 2 * kNanosPerMillisecond;
constexpr double kFollowing = 0.05;

}  // namespace

SoundPlayer::SoundPlayer(SoundSettings settings, KeyingSource& keying, platform::Reporter report)
    : settings_(std::move(settings)), keying_(keying), report_(std::move(report)), tone_(settings_.tone, 48'000) {}

// `what` names the device, the reason and what is played, in that order.
void SoundPlayer::Tell(platform::Severity severity, const char* what, platform::SystemError error) {
  char reason[128], line[384];
  platform::DescribeSystemError(error, reason, sizeof reason);
  std::snprintf(line, sizeof line, what, settings_.device.c_str(), reason, settings_.sounds);
  report_(severity, line);
}

// A dropout is told once, and again only after the stream has played a minute without one.
void SoundPlayer::DroppedOut(platform::SystemError error) {
  if (!droppedOut_) {
    Tell(platform::Severity::Warning, "the sound device %s ran dry (%s); %s goes on at once", error);
  }
  droppedOut_ = true;
  stretchesSinceDropout_ = 0;
  platform::RestartAudio(device_);
}

void SoundPlayer::Lost(platform::SystemError error) {
  Tell(platform::Severity::Warning, "lost the sound device %s: %s; trying it again every second", error);
  Close();
  lost_ = true;
}

void SoundPlayer::Close() {
  if (device_ != nullptr) platform::CloseAudio(device_);
  device_ = nullptr;
}

void SoundPlayer::Open() {
  const auto now = std::chrono::steady_clock::now();
  if (now < nextAttempt_) {
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(nextAttempt_ - now, 100ms));
    return;
  }
  nextAttempt_ = now + 1s;
  const platform::AudioOpening opening = platform::OpenAudio(settings_.device.c_str(), settings_.rate);
  if (opening.device == nullptr) {
    if (!lost_) {
      Tell(platform::Severity::Warning, "cannot open the sound device %s: %s; trying it again every second",
           opening.error);
    }
    lost_ = true;
    return;
  }
  if (lost_) {
    char line[320];
    std::snprintf(line, sizeof line, "the sound device %s is open; %s goes on", settings_.device.c_str(),
                  settings_.sounds);
    report_(platform::Severity::Notice, line);
  }
  lost_ = false;
  device_ = opening.device;
  tone_ = KeyedTone(settings_.tone, opening.rate);
  frames_.resize(static_cast<std::size_t>(opening.rate * kChunkMilliseconds / 1000));
  nextFrameNanos_ = 0;
}

void SoundPlayer::PlayOnce() {
  if (device_ == nullptr) return Open();
  std::int64_t reported = 0;
  platform::SystemError error = 0;
  switch (platform::NextFrameTime(device_, reported, error)) {
    case platform::AudioResult::Done: break;
    case platform::AudioResult::Underrun: return DroppedOut(error);
    case platform::AudioResult::Gone:
    case platform::AudioResult::Failed: return Lost(error);
  }
  // A device that keeps nothing queued, as ALSA's null device plays nothing, would take frames as fast as they are
  // made: it is given them no faster than the clock runs.
  if (reported < platform::SteadyNanos() + kNanosPerMillisecond)
    std::this_thread::sleep_for(std::chrono::milliseconds(kChunkMilliseconds));
  const std::int64_t off = reported - nextFrameNanos_;
  deviation_ = nextFrameNanos_ == 0 ? 0 : off;
  nextFrameNanos_ = off > kResyncNanos || off < -kResyncNanos
                        ? reported
                        : nextFrameNanos_ + static_cast<std::int64_t>(kFollowing * static_cast<double>(off));
  const int count = static_cast<int>(frames_.size());
  tone_.Render(frames_.data(), count, nextFrameNanos_, keying_);
  switch (platform::WriteAudio(device_, frames_.data(), count, error)) {
    case platform::AudioResult::Done: break;
    case platform::AudioResult::Underrun: return DroppedOut(error);
    case platform::AudioResult::Gone:
    case platform::AudioResult::Failed: return Lost(error);
  }
  nextFrameNanos_ += count * kNanosPerSecond / tone_.Rate();
  if (++stretchesSinceDropout_ > 60 * 1000 / kChunkMilliseconds) droppedOut_ = false;
}

}  // namespace output
