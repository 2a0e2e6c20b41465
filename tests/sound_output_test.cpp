// SPDX-License-Identifier: MIT
// The sound thread's work, step by step, on a stand-in device with a clock of its own that the frames written move
// on: each second's keying leaves the device on that second's edge, and after the device runs dry the keying is
// right again from the next second, the dropout told once.

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "output/keying_slots.h"
#include "output/sound_player.h"
#include "platform/audio_device.h"
#include "timecode/codes.h"

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

}  // namespace

namespace platform {

struct AudioDevice {};
std::vector<AudioDeviceInfo> ListAudioDevices() { return {}; }
AudioOpening OpenAudio(const char*, int rate) { return {.device = new AudioDevice, .rate = rate}; }
void RestartAudio(AudioDevice*) {}
void CloseAudio(AudioDevice* device) { delete device; }

AudioResult NextFrameTime(AudioDevice*, std::int64_t& steadyNanos, SystemError&) {
  steadyNanos = Device.nextFrameNanos + (++Device.reports % 3 - 1) * 300'000;  // within 0.3 ms
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

// The time code, each second a DCF77 1-bit reduced to 15 %, and the beep, 600 Hz during the same pulses and silent
// between; a second held back is as between the pulses, the carrier whole, the beep silent. After a dropout the keying
// is right again from the next second, told once.
TEST(SoundOutputTest, KeyingLeavesOnTheSecondsEdgeAndIsRightAgainAfterADropout) {
  const std::int64_t first = kStart / kNanosPerSecond + 1;
  const struct {
    output::ToneKeying tone;
    double reduced, full;  // the envelope's levels, as a share of the loudest
    std::vector<std::string> reports;
  } kSounds[] = {
      {output::TimeCodeTone(timecode::kDcf77),
       0.15,
       1,
       {"the sound device fake ran dry (Broken pipe); the time code goes on at once"}},
      {output::kBeep, 0.5, 0, {"the sound device fake ran dry (Broken pipe); the beep goes on at once"}},
  };
  for (const auto& [tone, reduced, full, reports] : kSounds) {
    SCOPED_TRACE(tone.frequencyHz);
    Device = {};
    output::KeyingSlots slots;
    for (std::int64_t second = first; second < first + 4; ++second) {
      output::SecondKeying keying{.startNanos = second * kNanosPerSecond, .pattern = {}, .held = second == first + 3};
      keying.pattern.Reduce(0, 21);
      slots.Feed(keying);
    }
    Device.dryAfterFrames = kRate * 3 / 2;  // 0.9 s into the first whole second
    std::vector<std::string> told;
    {
      output::SoundPlayer player({"fake", kRate, tone, tone.full == 0 ? "the beep" : "the time code"}, slots,
                                 [&told](platform::Severity, const char* line) { told.emplace_back(line); });
      while (Device.nextFrameNanos < (first + 4) * kNanosPerSecond) player.PlayOnce();
    }
    // The tone's amplitude over each tick period, from its power, as a share of the loudest the program plays.
    const auto level = [](std::int64_t from) {
      const auto at = static_cast<std::size_t>((from - kStart) * kRate / kNanosPerSecond);
      double power = 0;
      for (std::size_t frame = at; frame < at + kRate / 100; ++frame) power += std::pow(Device.played[frame], 2);
      return std::sqrt(2 * power / (kRate / 100)) / (0.9 * INT16_MAX);
    };
    for (std::int64_t second = first + 1; second < first + 4; ++second) {  // the second after the dropout on
      for (int tick = -2; tick < 24; ++tick) {
        if (tick == 0 || tick == 21) continue;  // where the level moves
        const double due = second != first + 3 && tick > 0 && tick < 21 ? reduced : full;
        EXPECT_NEAR(level(second * kNanosPerSecond + tick * 10'000'000), due, 0.06)
            << "second " << second << ", tick " << tick;
      }
    }
    EXPECT_EQ(told, reports);
  }
}
