// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "app/settings.h"

// --audio-file: the code as sound, a number of whole minutes of it from the next minute mark after --start (or now),
// led in by the second before them, whose minute mark a receiver needs to find where the first minute begins; into a
// WAV file (16-bit mono PCM) at --audio-rate, for testing decoders and SDR receivers; no device is opened.
// Returns the exit status, having said what it wrote, or why it could not write the file, which it then removes.
int WriteAudioFile(const Settings& settings);

// The header of a WAV file of `frames` 16-bit mono frames at `rate`: RIFF's, or, where the file is too large for
// RIFF's 32-bit sizes, RF64's (EBU Tech 3306), whose ds64 chunk holds them in 64 bits.
std::vector<char> WaveHeader(int rate, std::int64_t frames);

// --list-audio: the sound devices, one a line, by the name --audio takes, with the system's description.
void PrintAudioDevices(std::FILE* out);
