// SPDX-License-Identifier: MIT
#include "output/audio_output.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "platform/audio_device.h"
#include "platform/report.h"

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

// A few seconds of keying, each in the slot of its second's number, written by the tick thread and read by the sound
// thread, which checks that the second's number is the same before and after it reads.
struct Slot {
  std::atomic<std::int64_t> second{INT64_MIN};
  std::atomic<std::uint64_t> low{0}, high{0};
  std::atomic<std::uint8_t> symbol{0};
  std::atomic<bool> silent{false};
};
Slot Slots[4];

}  // namespace

struct AudioPlayer {
  AudioSettings settings;
  void (*report)(const char* line);
  platform::AudioDevice* device = nullptr;
  KeyedTone tone{0, 0, 48'000};
  std::vector<std::int16_t> frames;
  std::int64_t nextFrameNanos = 0;  // of the next stretch, as followed
  std::int64_t deviation = 0;       // of the device's last report from that
  bool lost = false;                // told that the device is away; told again once it is back
  bool droppedOut = false;          // told of a dropout; not again until the stream has run a while
  int stretchesSinceDropout = 0;
  std::chrono::steady_clock::time_point nextAttempt{};
};

bool KeyingFor(std::int64_t unixSecond, SecondKeying& keying) {
  Slot& slot = Slots[static_cast<std::uint64_t>(unixSecond) % std::size(Slots)];
  if (slot.second.load(std::memory_order_acquire) != unixSecond) return false;
  keying.pattern.Low = slot.low.load(std::memory_order_relaxed);
  keying.pattern.High = slot.high.load(std::memory_order_relaxed);
  keying.pattern.Symbol = slot.symbol.load(std::memory_order_relaxed);
  keying.silent = slot.silent.load(std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_acquire);
  return slot.second.load(std::memory_order_relaxed) == unixSecond;
}

void FeedAudio(std::int64_t unixSecond, const SecondKeying& keying) {
  Slot& slot = Slots[static_cast<std::uint64_t>(unixSecond) % std::size(Slots)];
  slot.second.store(INT64_MIN, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  slot.low.store(keying.pattern.Low, std::memory_order_relaxed);
  slot.high.store(keying.pattern.High, std::memory_order_relaxed);
  slot.symbol.store(keying.pattern.Symbol, std::memory_order_relaxed);
  slot.silent.store(keying.silent, std::memory_order_relaxed);
  slot.second.store(unixSecond, std::memory_order_release);
}

namespace {

void Tell(AudioPlayer& player, const char* what, platform::SystemError error) {
  char reason[128], line[384];
  platform::DescribeSystemError(error, reason, sizeof reason);
  std::snprintf(line, sizeof line, what, player.settings.device.c_str(), reason);
  player.report(line);
}

// A dropout is told once, and again only after the stream has played a minute without one.
void DroppedOut(AudioPlayer& player, platform::SystemError error) {
  if (!player.droppedOut) Tell(player, "the sound device %s ran dry (%s); the time code goes on at once", error);
  player.droppedOut = true;
  player.stretchesSinceDropout = 0;
  platform::RestartAudio(player.device);
}

void Lost(AudioPlayer& player, platform::SystemError error) {
  Tell(player, "lost the sound device %s: %s; trying it again every second", error);
  platform::CloseAudio(player.device);
  player.device = nullptr;
  player.lost = true;
}

void Open(AudioPlayer& player) {
  const auto now = std::chrono::steady_clock::now();
  if (now < player.nextAttempt) {
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(player.nextAttempt - now, 100ms));
    return;
  }
  player.nextAttempt = now + 1s;
  const platform::AudioOpening opening = platform::OpenAudio(player.settings.device.c_str(), player.settings.rate);
  if (opening.device == nullptr) {
    if (!player.lost) Tell(player, "cannot open the sound device %s: %s; trying it again every second", opening.error);
    player.lost = true;
    return;
  }
  if (player.lost) {
    char line[320];
    std::snprintf(line, sizeof line, "the sound device %s is open; the time code goes on",
                  player.settings.device.c_str());
    player.report(line);
  }
  player.lost = false;
  player.device = opening.device;
  player.tone = KeyedTone(player.settings.carrierHz, player.settings.reducedAmplitude, opening.rate);
  player.frames.resize(static_cast<std::size_t>(opening.rate * kChunkMilliseconds / 1000));
  player.nextFrameNanos = 0;
}

}  // namespace

AudioPlayer* NewAudioPlayer(const AudioSettings& settings, void (*report)(const char* line)) {
  AudioPlayer* player = new AudioPlayer;
  player->settings = settings;
  player->report = report;
  return player;
}

void DeleteAudioPlayer(AudioPlayer* player) {
  if (player->device != nullptr) platform::CloseAudio(player->device);
  delete player;
}

std::int64_t LastDeviationNanos(const AudioPlayer* player) { return player->deviation; }

void PlayOnce(AudioPlayer* player) {
  if (player->device == nullptr) return Open(*player);
  std::int64_t reported = 0;
  platform::SystemError error = 0;
  switch (platform::NextFrameTime(player->device, reported, error)) {
    case platform::AudioResult::Done: break;
    case platform::AudioResult::Underrun: return DroppedOut(*player, error);
    case platform::AudioResult::Gone:
    case platform::AudioResult::Failed: return Lost(*player, error);
  }
  // A device that keeps nothing queued, as ALSA's null device plays nothing, would take frames as fast as they are
  // made: it is given them no faster than the clock runs.
  const std::int64_t wallClock =
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  if (reported < wallClock + kNanosPerMillisecond)
    std::this_thread::sleep_for(std::chrono::milliseconds(kChunkMilliseconds));
  const std::int64_t off = reported - player->nextFrameNanos;
  player->deviation = player->nextFrameNanos == 0 ? 0 : off;
  player->nextFrameNanos =
      off > kResyncNanos || off < -kResyncNanos
          ? reported
          : player->nextFrameNanos + static_cast<std::int64_t>(kFollowing * static_cast<double>(off));
  const int count = static_cast<int>(player->frames.size());
  player->tone.Render(player->frames.data(), count, player->nextFrameNanos, KeyingFor);
  switch (platform::WriteAudio(player->device, player->frames.data(), count, error)) {
    case platform::AudioResult::Done: break;
    case platform::AudioResult::Underrun: return DroppedOut(*player, error);
    case platform::AudioResult::Gone:
    case platform::AudioResult::Failed: return Lost(*player, error);
  }
  player->nextFrameNanos += count * kNanosPerSecond / player->tone.Rate();
  if (++player->stretchesSinceDropout > 60 * 1000 / kChunkMilliseconds) player->droppedOut = false;
}

namespace {

std::thread Thread;
std::atomic<bool> Stopping{false};

void ReportFromTheSoundThread(const char* line) { platform::Report(platform::Severity::Warning, line); }

}  // namespace

void StartAudio(const AudioSettings& settings) {
  Stopping = false;
  Thread = std::thread([settings] {
    AudioPlayer* player = NewAudioPlayer(settings, ReportFromTheSoundThread);
    while (!Stopping.load()) PlayOnce(player);
    DeleteAudioPlayer(player);
  });
}

void StopAudio() {
  if (!Thread.joinable()) return;
  Stopping = true;
  Thread.join();
}

}  // namespace output
