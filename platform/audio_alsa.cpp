// SPDX-License-Identifier: MIT
#include <alsa/asoundlib.h>

#include <cerrno>
#include <ctime>
#include <vector>

#include "platform/audio_device.h"

// The sound device through ALSA, its default device taking PipeWire and PulseAudio desktops too. Two channels, both
// the same, which every device takes.

namespace platform {

struct AudioDevice {
  snd_pcm_t* pcm = nullptr;
  int rate = 0;
  std::vector<std::int16_t> stereo;  // the frames written, each twice
};

namespace {

constexpr unsigned kChannels = 2;
constexpr unsigned kBufferMicroseconds = 40'000, kPeriodMicroseconds = 10'000;
constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
// The device takes a period's frames every 10 ms: one that has taken none for this long has stopped.
constexpr int kLongestWaitMilliseconds = 500;

// ALSA's own messages on standard error, every second while a device is missing, would only repeat what the program
// reports once.
void Quiet(const char*, int, const char*, int, const char*, ...) {}

int Silenced() { return snd_lib_error_set_handler(Quiet); }

// An error on a device that went away, or that another program took from us, as against one that only ran dry.
bool MeansGone(int error) { return error == -ENODEV || error == -EBADFD || error == -EIO || error == -ENOTTY; }

AudioResult Outcome(int error) {
  if (error == -EPIPE || error == -ESTRPIPE) return AudioResult::Underrun;
  return MeansGone(error) ? AudioResult::Gone : AudioResult::Failed;
}

int Configure(snd_pcm_t* pcm, unsigned& rate) {
  snd_pcm_hw_params_t* hardware = nullptr;
  snd_pcm_hw_params_alloca(&hardware);
  unsigned buffer = kBufferMicroseconds, period = kPeriodMicroseconds;
  int result = snd_pcm_hw_params_any(pcm, hardware);
  if (result >= 0) result = snd_pcm_hw_params_set_access(pcm, hardware, SND_PCM_ACCESS_RW_INTERLEAVED);
  if (result >= 0) result = snd_pcm_hw_params_set_format(pcm, hardware, SND_PCM_FORMAT_S16);
  if (result >= 0) result = snd_pcm_hw_params_set_channels(pcm, hardware, kChannels);
  if (result >= 0) result = snd_pcm_hw_params_set_rate_near(pcm, hardware, &rate, nullptr);
  if (result >= 0) result = snd_pcm_hw_params_set_buffer_time_near(pcm, hardware, &buffer, nullptr);
  if (result >= 0) result = snd_pcm_hw_params_set_period_time_near(pcm, hardware, &period, nullptr);
  if (result >= 0) result = snd_pcm_hw_params(pcm, hardware);
  if (result < 0) return result;
  // Timestamps on the steady clock, which the keying of the seconds is put on.
  snd_pcm_sw_params_t* software = nullptr;
  snd_pcm_sw_params_alloca(&software);
  result = snd_pcm_sw_params_current(pcm, software);
  if (result >= 0) result = snd_pcm_sw_params_set_tstamp_mode(pcm, software, SND_PCM_TSTAMP_ENABLE);
  if (result >= 0) result = snd_pcm_sw_params_set_tstamp_type(pcm, software, SND_PCM_TSTAMP_TYPE_MONOTONIC);
  if (result >= 0) result = snd_pcm_sw_params(pcm, software);
  return result;
}

}  // namespace

std::vector<AudioDeviceInfo> ListAudioDevices() {
  static const int silenced = Silenced();
  (void)silenced;
  std::vector<AudioDeviceInfo> devices;
  void** hints = nullptr;
  if (snd_device_name_hint(-1, "pcm", &hints) < 0) return devices;
  for (void** hint = hints; *hint != nullptr; ++hint) {
    char* name = snd_device_name_get_hint(*hint, "NAME");
    char* description = snd_device_name_get_hint(*hint, "DESC");
    char* direction = snd_device_name_get_hint(*hint, "IOID");  // none: both ways
    if (name != nullptr && (direction == nullptr || std::string(direction) == "Output")) {
      std::string said = description ? description : "";
      for (char& c : said) c = c == '\n' ? ' ' : c;
      devices.push_back({name, said});
    }
    for (char* text : {name, description, direction}) std::free(text);
  }
  snd_device_name_free_hint(hints);
  return devices;
}

AudioOpening OpenAudio(const char* name, int rate) {
  static const int silenced = Silenced();
  (void)silenced;
  snd_pcm_t* pcm = nullptr;
  // Non-blocking, so that every wait on the device has a deadline: one that stalls is told, and never holds up the end.
  int result = snd_pcm_open(&pcm, name, SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
  auto granted = static_cast<unsigned>(rate);
  if (result >= 0) result = Configure(pcm, granted);
  if (result < 0) {
    if (pcm != nullptr) snd_pcm_close(pcm);
    return {.error = static_cast<SystemError>(-result)};
  }
  return {.device = new AudioDevice{pcm, static_cast<int>(granted), {}}, .rate = static_cast<int>(granted)};
}

AudioResult NextFrameTime(AudioDevice* device, std::int64_t& steadyNanos, SystemError& error) {
  snd_pcm_status_t* status = nullptr;
  snd_pcm_status_alloca(&status);
  const int result = snd_pcm_status(device->pcm, status);
  if (result < 0) {
    error = static_cast<SystemError>(-result);
    return Outcome(result);
  }
  if (snd_pcm_status_get_state(status) == SND_PCM_STATE_XRUN) return AudioResult::Underrun;
  snd_htimestamp_t reported{};
  snd_pcm_status_get_htstamp(status, &reported);
  // Before it starts playing the device has no report of its own: what is queued then leaves from now on.
  if (reported.tv_sec == 0 && reported.tv_nsec == 0) clock_gettime(CLOCK_MONOTONIC, &reported);
  steadyNanos = reported.tv_sec * kNanosPerSecond + reported.tv_nsec +
                snd_pcm_status_get_delay(status) * kNanosPerSecond / device->rate;
  return AudioResult::Done;
}

AudioResult WriteAudio(AudioDevice* device, const std::int16_t* frames, int count, SystemError& error) {
  device->stereo.resize(static_cast<std::size_t>(count) * kChannels);
  for (std::size_t at = 0; at < static_cast<std::size_t>(count); ++at) {
    device->stereo[kChannels * at] = device->stereo[kChannels * at + 1] = frames[at];
  }
  for (int written = 0; written < count;) {
    const snd_pcm_sframes_t result =
        snd_pcm_writei(device->pcm, &device->stereo[static_cast<std::size_t>(written) * kChannels], count - written);
    if (result == -EAGAIN) {
      // A device that takes nothing for this long has stalled.
      const int ready = snd_pcm_wait(device->pcm, kLongestWaitMilliseconds);
      if (ready > 0) continue;
      error = ready == 0 ? ETIMEDOUT : static_cast<SystemError>(-ready);
      return ready == 0 ? AudioResult::Failed : Outcome(ready);
    }
    if (result < 0) {
      error = static_cast<SystemError>(-result);
      return Outcome(static_cast<int>(result));
    }
    written += static_cast<int>(result);
  }
  return AudioResult::Done;
}

void RestartAudio(AudioDevice* device) { snd_pcm_prepare(device->pcm); }

// Dropped rather than drained: what is queued is at most a buffer's worth, and draining would wait for it.
void CloseAudio(AudioDevice* device) {
  snd_pcm_drop(device->pcm);
  snd_pcm_close(device->pcm);
  delete device;
}

}  // namespace platform
