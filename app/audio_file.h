// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>

#include "app/settings.h"

// --audio-file: the code as sound, a number of whole minutes of it from the next minute mark after --start (or now),
// into a WAV file (16-bit mono PCM) at --audio-rate, for testing decoders and SDR receivers; no device is opened.
// Returns the exit status, having reported why where it could not write the file.
int WriteAudioFile(const Settings& settings);

// --list-audio: the sound devices, one a line, by the name --audio takes, with the system's description.
void PrintAudioDevices(std::FILE* out);
