#include "platform/tone.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int kBeepHz = 600;
constexpr auto kTick = 10ms;
const fs::path kScratch = fs::temp_directory_path() / ("tone_test_" + std::to_string(getpid()));

// Points ALSA's default device, for this process, at the given definition.
void UseDefaultDevice(const std::string& definition) {
  fs::create_directories(kScratch);
  std::ofstream(kScratch / ".asoundrc") << "pcm.!default { " << definition << " }\n";
  setenv("HOME", kScratch.c_str(), 1);
  snd_config_update_free_global();  // so that the next open reads the file just written
}

// Beeps as the engine does on each counted tick of a pulse, then lets the tone die away.
void SoundPulse(int ticks) {
  platform::StartTone();
  auto next = std::chrono::steady_clock::now();
  for (int tick = 0; tick < ticks; ++tick, next += kTick) {
    std::this_thread::sleep_until(next);
    platform::Beep(kBeepHz, 1ms);
  }
  std::this_thread::sleep_for(200ms);
  platform::StopTone();
}

struct Tone {
  double frequencyHz = 0, soundingSeconds = 0;
};

// Over the sounding stretches of a recording of 16-bit mono samples behind a 44-byte header. Silence is
// left out, so that a tick that came late to the beeper does not count against the tone's pitch.
Tone Measure(const fs::path& wav) {
  std::ifstream file(wav, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
  if (bytes.size() <= 44) return {};
  std::uint32_t rateHz = 0;
  std::memcpy(&rateHz, &bytes[24], sizeof rateHz);
  std::vector<std::int16_t> samples((bytes.size() - 44) / 2);
  std::memcpy(samples.data(), &bytes[44], samples.size() * 2);
  // The sine itself passes through zero samples; only a longer run of them is silence.
  const std::size_t silenceSamples = rateHz / 1000;
  std::size_t sounding = 0, zeroCrossings = 0, previous = 0;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    if (samples[i] == 0) continue;
    if (samples[previous] != 0 && i - previous <= silenceSamples) {
      sounding += i - previous;
      zeroCrossings += (samples[previous] < 0) != (samples[i] < 0);
    }
    previous = i;
  }
  const double seconds = static_cast<double>(sounding) / rateHz;
  return {seconds > 0 ? static_cast<double>(zeroCrossings) / 2.0 / seconds : 0, seconds};
}

class ToneTest : public testing::Test {
  void TearDown() override { fs::remove_all(kScratch); }
};

// How long the tone lasts follows the wall clock, which tests leave alone; its pitch is in the samples.
TEST_F(ToneTest, EachPulseSoundsAt600HzAndALongPulseLonger) {
  std::vector<Tone> tones;
  for (int ticks : {11, 21}) {
    const fs::path recording = kScratch / ("pulse" + std::to_string(ticks) + ".wav");
    UseDefaultDevice("type file slave.pcm null format wav file \"" + recording.string() + "\"");
    SoundPulse(ticks);
    const Tone tone = tones.emplace_back(Measure(recording));
    EXPECT_NEAR(tone.frequencyHz, kBeepHz, kBeepHz * 0.03) << ticks << " ticks";
  }
  EXPECT_GT(tones[1].soundingSeconds, tones[0].soundingSeconds);
}

TEST_F(ToneTest, WithoutADeviceNothingSoundsAndNothingComplains) {
  UseDefaultDevice("type hw card NoSuchCard");
  testing::internal::CaptureStderr();
  SoundPulse(21);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// A recording into a pipe nobody reads stands in for a hung sound server: the worker blocks in it
// for good, and neither the beeps nor the stop may wait for it.
TEST_F(ToneTest, AHungDeviceHoldsUpNeitherBeepsNorStop) {
  const fs::path pipe = kScratch / "hung";
  UseDefaultDevice("type file slave.pcm null file \"" + pipe.string() + "\"");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  SoundPulse(21);
}

}  // namespace
