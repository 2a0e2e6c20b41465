// SPDX-License-Identifier: MIT
#include <alsa/asoundlib.h>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <span>
#include <thread>

#include "platform/tone_worker.h"

// The tone on the sound device through ALSA.

namespace platform::tone {

namespace {

using namespace std::chrono_literals;

constexpr unsigned kSampleRateHz = 48'000;
// Asked of the device; it may grant more. Small, so the tone starts soon after it is asked for.
constexpr std::chrono::microseconds kDeviceBuffer = 20ms;
constexpr int kChunkFrames = 96;                // 2 ms: how often the worker decides whether the tone goes on
constexpr int kFadeFrames = 96;                 // 2 ms of swelling in and dying away, so the tone does not click
constexpr double kFullScale = 0.4 * INT16_MAX;  // clearly heard, yet well short of harsh
constexpr auto kReleaseAfter = 2s;              // the device is given back after this long without a tone
constexpr auto kReopenInterval = 3s;            // a missing or failed device is looked for again at most this often
constexpr std::chrono::milliseconds kDeviceTimeout{500};  // a device taking nothing this long is given up

}  // namespace

// A futex rather than a condition variable: the waker takes no lock, and the sleeper can time out.
bool WaitWhile(std::atomic<std::uint32_t>& word, std::uint32_t value, std::chrono::nanoseconds timeout) {
  const auto whole = std::chrono::floor<std::chrono::seconds>(timeout);
  const timespec relative{static_cast<time_t>(whole.count()), static_cast<long>((timeout - whole).count())};
  const long result =
      syscall(SYS_futex, &word, FUTEX_WAIT_PRIVATE, value, timeout == kForever ? nullptr : &relative, nullptr, 0);
  return !(result < 0 && errno == ETIMEDOUT);
}

void WakeAll(std::atomic<std::uint32_t>& word) {
  syscall(SYS_futex, &word, FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

namespace {

bool ToneWantedAt(Clock::time_point moment) { return ToneLeftAt(moment) > Clock::duration::zero(); }

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

std::chrono::nanoseconds FramesDuration(std::int64_t frames) {
  return std::chrono::nanoseconds(frames * 1'000'000'000 / kSampleRateHz);
}

struct Device {
  snd_pcm_t* pcm = nullptr;
  std::int64_t bufferFrames = 0;
  std::int64_t leadFrames = 0;  // how far the samples written run ahead of the clock
};

void CloseDevice(Device& device) {
  if (device.pcm) snd_pcm_close(device.pcm);
  device.pcm = nullptr;
}

bool OpenDevice(Device& device) {
  if (snd_pcm_open(&device.pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
    device.pcm = nullptr;
    return false;
  }
  snd_pcm_uframes_t bufferFrames = 0;
  snd_pcm_uframes_t periodFrames = 0;
  snd_pcm_sw_params_t* software = nullptr;
  snd_pcm_sw_params_alloca(&software);
  bool ready = snd_pcm_set_params(device.pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, 1, kSampleRateHz, 1,
                                  kDeviceBuffer.count()) == 0 &&
               snd_pcm_get_params(device.pcm, &bufferFrames, &periodFrames) == 0;
  // Half a buffer ahead keeps the device fed between the worker's wake-ups without piling up latency;
  // the device starts as soon as that much is written.
  device.bufferFrames = static_cast<std::int64_t>(bufferFrames);
  device.leadFrames = device.bufferFrames / 2;
  ready = ready && snd_pcm_sw_params_current(device.pcm, software) == 0 &&
          snd_pcm_sw_params_set_start_threshold(device.pcm, software, device.leadFrames) == 0 &&
          snd_pcm_sw_params(device.pcm, software) == 0;
  if (!ready) CloseDevice(device);
  return ready;
}

// A sine that carries its phase from chunk to chunk, its loudness ramping up while the tone is
// wanted and down after.
struct Voice {
  double phaseCycles = 0;
  int rampFrames = 0;  // 0 silent … kFadeFrames full loudness
};

void FillChunk(std::span<std::int16_t, kChunkFrames> chunk, bool wanted, Voice& voice) {
  const double cyclesPerFrame = static_cast<double>(toneFrequencyHz.load()) / kSampleRateHz;
  for (std::int16_t& sample : chunk) {
    voice.rampFrames = std::clamp(voice.rampFrames + (wanted ? 1 : -1), 0, kFadeFrames);
    const double gain = static_cast<double>(voice.rampFrames) / kFadeFrames;
    sample =
        static_cast<std::int16_t>(std::lround(kFullScale * gain * std::sin(2 * std::numbers::pi * voice.phaseCycles)));
    voice.phaseCycles = std::fmod(voice.phaseCycles + cyclesPerFrame, 1.0);
  }
}

// False when the device failed, or took nothing for kDeviceTimeout.
bool Write(snd_pcm_t* pcm, std::span<const std::int16_t> frames) {
  while (!frames.empty()) {
    snd_pcm_sframes_t result = snd_pcm_writei(pcm, frames.data(), frames.size());
    if (result == -EAGAIN) {
      result = snd_pcm_wait(pcm, static_cast<int>(kDeviceTimeout.count()));
      if (result == 0) return false;
      if (result > 0) continue;
    }
    if (result < 0) {
      if (snd_pcm_recover(pcm, static_cast<int>(result), 1) < 0) return false;
      continue;
    }
    frames = frames.subspan(static_cast<std::size_t>(result));
  }
  return true;
}

// Plays for as long as a tone is wanted, then a buffer's worth of silence, so that a device left to
// run dry has nothing stale to play. A tone asked for again during that silence simply goes on.
// False when the device failed.
bool PlayTone(const Device& device) {
  if (snd_pcm_prepare(device.pcm) < 0) return false;
  std::array<std::int16_t, kChunkFrames> chunk{};
  Voice voice;
  const Clock::time_point start = Clock::now();
  std::int64_t framesWritten = 0;
  std::int64_t silentFrames = 0;
  while (silentFrames < device.bufferFrames && !stopping.load()) {
    // Each chunk is decided on and written one lead before it sounds, paced by the clock rather than
    // by the device, so that a device that never blocks (a file, say) gets the tone's true length and
    // the worker never spins. The first lead's worth, written at once, stands for the time before
    // the tone was asked for and is silent: every chunk then sounds one lead after the moment it
    // stands for, start and end alike, and the tone keeps its length even when the worker wakes late.
    const Clock::time_point decisionTime = start + FramesDuration(framesWritten - device.leadFrames);
    std::this_thread::sleep_until(decisionTime);
    const bool wanted = framesWritten >= device.leadFrames && ToneWantedAt(decisionTime);
    silentFrames = (wanted || voice.rampFrames > 0) ? 0 : silentFrames + kChunkFrames;
    FillChunk(chunk, wanted, voice);
    if (!Write(device.pcm, chunk)) return false;
    framesWritten += kChunkFrames;
  }
  return true;
}

}  // namespace

void RunWorker() {
  // Without a sound device ALSA would otherwise complain on stderr at every attempt to open one.
  snd_lib_error_set_handler(IgnoreAlsaError);
  Device device;
  Clock::time_point nextOpenAttempt = Clock::now();
  while (!stopping.load()) {
    const std::uint32_t seen = requests.load();
    const Clock::time_point now = Clock::now();
    if (ToneWantedAt(now) && !device.pcm && now >= nextOpenAttempt && !OpenDevice(device))
      nextOpenAttempt = Clock::now() + kReopenInterval;
    if (ToneWantedAt(now) && device.pcm) {
      if (!PlayTone(device)) {
        CloseDevice(device);
        nextOpenAttempt = Clock::now() + kReopenInterval;
      }
      continue;
    }
    if (!WaitWhile(requests, seen, device.pcm ? std::chrono::nanoseconds(kReleaseAfter) : kForever))
      CloseDevice(device);
  }
  CloseDevice(device);
}

}  // namespace platform::tone
