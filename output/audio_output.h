// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "output/keyed_tone.h"

// The time code as sound, on a device of its own thread: the tick thread tells it, a second ahead, what each second
// carries, and it plays each second's keying from the second's edge on the wall clock, by the device's own report of
// when the frames it is given will play. A dropout (the device running dry, taken by another program, unplugged) is
// reported once; the stream goes on from the next frames, and a device that went away is tried again every second.

namespace output {

struct AudioSettings {
  std::string device;  // as --audio names it
  int rate = 48'000;   // asked for; the device may grant another
  int carrierHz = 0;
  double reducedAmplitude = 0;
};

void StartAudio(const AudioSettings& settings);

// What the wall clock's second `unixSecond` carries. From the tick thread only; never blocks, never allocates.
void FeedAudio(std::int64_t unixSecond, const SecondKeying& keying);

void StopAudio();

// The sound thread's work, one step at a time, for tests to drive: plays the next stretch of frames on the device
// open (opening it first where it is not), or waits a while for it. Reports through `report`.
struct AudioPlayer;
AudioPlayer* NewAudioPlayer(const AudioSettings& settings, void (*report)(const char* line));
void PlayOnce(AudioPlayer* player);
void DeleteAudioPlayer(AudioPlayer* player);

// How far the device's last report of when the next frame leaves was from where the player had put that frame, in
// nanoseconds: how far off the keying's edges leave the device; for measuring that.
std::int64_t LastDeviationNanos(const AudioPlayer* player);

// The keying told for a second, if it was: how the sound thread finds it.
bool KeyingFor(std::int64_t unixSecond, SecondKeying& keying);

}  // namespace output
