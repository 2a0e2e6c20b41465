// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/port_error.h"

// A sound output device, for the time code as sound: opened at a rate, written to from a thread of its own, and asked
// when the next frame written will leave it, by its own report of its delay. ALSA on Linux, WASAPI on Windows.

namespace platform {

// A device as --audio takes its name: ALSA's PCM names on Linux ("default", "plughw:CARD=PCH,DEV=0"), the endpoint's
// name on Windows; and what the system says of it.
struct AudioDeviceInfo {
  std::string name;
  std::string description;
};

// The devices the system knows, without opening any.
std::vector<AudioDeviceInfo> ListAudioDevices();

struct AudioDevice;

struct AudioOpening {
  AudioDevice* device = nullptr;  // nullptr if it could not be opened
  int rate = 0;                   // frames a second, as granted: the nearest the device offers to the one asked for
  SystemError error = 0;
};

enum class AudioResult { Done, Underrun, Gone, Failed };

// Opens the device of that name for 16-bit frames at about `rate` a second, with a buffer of some tens of
// milliseconds.
AudioOpening OpenAudio(const char* name, int rate);

// When the next frame written will leave the device, in nanoseconds of the steady clock (platform/steady_clock.h):
// the moment of the device's last report plus the delay it reported then. Underrun if it ran dry, Gone if it went
// away.
AudioResult NextFrameTime(AudioDevice* device, std::int64_t& steadyNanos, SystemError& error);

// Writes all the frames, waiting for room as the device plays them.
AudioResult WriteAudio(AudioDevice* device, const std::int16_t* frames, int count, SystemError& error);

// Readies a device that ran dry to play again.
void RestartAudio(AudioDevice* device);

void CloseAudio(AudioDevice* device);

}  // namespace platform
