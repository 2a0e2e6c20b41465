// SPDX-License-Identifier: MIT
// The sound thread's work, step by step, on a stand-in device with a clock of its own that the frames written move
// on: each second's keying leaves the device on that second's edge, and after the device runs dry the keying is
// right again from the next second, the dropout told once.

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "output/audio_output.h"
#include "platform/audio_device.h"
#include "tests/tone_reader.h"

namespace {

constexpr int kRate = 48'000;
constexpr std::int64_t kNanosPerSecond = 1'000'000'000, kStart = 1'800'000'000 * kNanosPerSecond + 400'000'000;

// The device's own timeline: when the next frame written will leave it, and every frame as it left, with silence
// where it ran dry. It reports its timeline a little unevenly, as a device's pointer moves in steps.
struct FakeDevice {
  std::int64_t nextFrameNanos = kStart;
  std::vector<std::int16_t> played;
  int dryAfterFrames = -1;  // runs dry once this many frames have been written, and plays nothing for 30 ms
  int reports = 0;
} Device;

std::vector<std::string> Reports;

}  // namespace

namespace platform {

struct AudioDevice {};
std::vector<AudioDeviceInfo> ListAudioDevices() { return {}; }
AudioOpening OpenAudio(const char*, int rate) { return {.device = new AudioDevice, .rate = rate}; }
void RestartAudio(AudioDevice*) {}
void CloseAudio(AudioDevice* device) { delete device; }

AudioResult NextFrameTime(AudioDevice*, std::int64_t& unixNanos, SystemError&) {
  unixNanos = Device.nextFrameNanos + (++Device.reports % 3 - 1) * 300'000;  // within 0.3 ms
  return AudioResult::Done;
}

AudioResult WriteAudio(AudioDevice*, const std::int16_t* frames, int count, SystemError& error) {
  if (Device.dryAfterFrames >= 0 && static_cast<int>(Device.played.size()) >= Device.dryAfterFrames) {
    Device.dryAfterFrames = -1;
    Device.played.insert(Device.played.end(), kRate * 30 / 1000, 0);
    Device.nextFrameNanos += 30'000'000;
    error = EPIPE;
    return AudioResult::Underrun;
  }
  Device.played.insert(Device.played.end(), frames, frames + count);
  Device.nextFrameNanos += count * kNanosPerSecond / kRate;
  return AudioResult::Done;
}

}  // namespace platform

TEST(SoundOutputTest, KeyingLeavesOnTheSecondsEdgeAndIsRightAgainAfterADropout) {
  const std::int64_t first = kStart / kNanosPerSecond + 1;
  for (std::int64_t second = first; second < first + 3; ++second) {
    output::SecondKeying keying;
    keying.pattern.Reduce(0, 21);  // a DCF77 1-bit, reduced to 15 %
    output::FeedAudio(second, keying);
  }
  Device.dryAfterFrames = kRate * 3 / 2;  // 0.9 s into the first whole second
  output::AudioPlayer* player =
      output::NewAudioPlayer({"fake", kRate, 77'500, 0.15}, [](const char* line) { Reports.emplace_back(line); });
  while (Device.nextFrameNanos < (first + 3) * kNanosPerSecond) output::PlayOnce(player);
  output::DeleteAudioPlayer(player);

  const double toneHz = tone_reader::ToneHz(77'500, kRate);
  const std::vector<double> envelope = tone_reader::Envelope(Device.played, kRate, toneHz);
  const auto sinceStart = [](std::int64_t nanos) { return static_cast<std::size_t>((nanos - kStart) / 1'000'000); };
  for (std::int64_t second = first + 1; second < first + 3; ++second) {  // the second after the dropout on
    const std::size_t edge = sinceStart(second * kNanosPerSecond);
    for (std::size_t ms = edge - 20; ms < edge + 230; ++ms) {
      if (ms == edge || ms == edge + 210) continue;  // where the level moves
      EXPECT_EQ(envelope[ms]<0.5, ms> edge && ms < edge + 210) << "second " << second << ", ms " << ms - edge;
    }
  }
  EXPECT_EQ(Reports,
            std::vector<std::string>{"the sound device fake ran dry (Broken pipe); the time code goes on at once"});
}
