// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "timecode/codes.h"
#include "timecode/time_code.h"

// How the program is to run: what the command line gives, read once at start-up, and what the window starts with.
struct Settings {
  const timecode::TimeCode* Code = &timecode::kDcf77;  // --code: the time code sent
  // As the user gave them, each COMn or on Linux a device path; every one carries the same pulses.
  std::vector<std::string> PortNames = {"COM1"};
  // --require-sync: send nothing while the PC's clock is not synchronised.
  bool RequireSync = false;
  // --zone, or the code's own: the zone whose local time is sent; empty for the system's.
  std::string Zone;
  // --start: send and show local time as if the PC's clock had read this moment at start-up.
  std::optional<std::chrono::sys_seconds> Start;
  // --frames: each minute sent, as a line on standard output.
  bool Frames = false;
  // --no-window: the same without any window or display, for running unattended; --service, on Windows, the same
  // under the Service Control Manager.
  bool NoWindow = false;
  bool Service = false;
  // The switches as they start, which the window's check boxes show: --tone, --invert-output, and the parity bits
  // sent wrong, by --invert-p1 to --invert-p3 (the window's boxes) and --invert-parity.
  bool Tone = false;
  bool InvertOutput = true;
  timecode::WrongParities WrongParities = 0;
  // --audio: the sound device the code is played on as well, or alone with --no-port (no port then); --audio-rate
  // the frames a second asked of it. --audio-file, --minutes: that many whole minutes into a WAV file instead.
  std::string AudioDevice;
  int AudioRate = 48'000;
  std::string AudioFile;
  int Minutes = 1;
};
