// SPDX-License-Identifier: MIT
#include <windows.h>

#include "platform/audio_device.h"

// Until the sound device is reached through WASAPI, there is none: --audio reports that it cannot open one.

namespace platform {

struct AudioDevice {};

std::vector<AudioDeviceInfo> ListAudioDevices() { return {}; }

AudioOpening OpenAudio(const char*, int) { return {.error = ERROR_NOT_SUPPORTED}; }

AudioResult NextFrameTime(AudioDevice*, std::int64_t&, SystemError& error) {
  error = ERROR_NOT_SUPPORTED;
  return AudioResult::Failed;
}

AudioResult WriteAudio(AudioDevice*, const std::int16_t*, int, SystemError& error) {
  error = ERROR_NOT_SUPPORTED;
  return AudioResult::Failed;
}

void RestartAudio(AudioDevice*) {}

void CloseAudio(AudioDevice* device) { delete device; }

}  // namespace platform
