// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "timecode/codes.h"
#include "timecode/tick_links.h"

// The command line, read once at start-up into plain settings for the parts of the program that need them.

// The check boxes as they start: the window shows them so, and without a window they stay so.
struct BoxStates {
  bool Tone = false;
  bool InvertOutput = true;
  bool InvertP1 = false, InvertP2 = false, InvertP3 = false;
};

// How the program is to run.
struct Settings {
  const timecode::TimeCode* Code = &timecode::kDcf77;  // --code: the time code sent
  // As the user gave them, each COMn or on Linux a device path; every one carries the same pulses.
  std::vector<std::string> PortNames = {"COM1"};
  // --require-sync: send nothing while the PC's clock is not synchronised.
  bool RequireSync = false;
  // --start: send and show local time as if the PC's clock had read this moment at start-up.
  std::optional<std::chrono::sys_seconds> Start;
  // --frames: each minute sent, as a line on standard output.
  bool Frames = false;
  // --no-window: the same without any window or display, for running unattended; --service, on Windows, the same
  // under the Service Control Manager.
  bool NoWindow = false;
  bool Service = false;
  // --tone, --invert-output, --invert-p1, --invert-p2, --invert-p3.
  BoxStates Boxes;
  // --audio: the sound device the code is played on as well, or alone with --no-port (no port then); --audio-rate
  // the frames a second asked of it. --audio-file, --minutes: that many whole minutes into a WAV file instead.
  std::string AudioDevice;
  int AudioRate = 48'000;
  std::string AudioFile;
  int Minutes = 1;
};

// Whether the parity bit is sent wrong by these box states.
bool ParityInvertedBy(const BoxStates& boxes, timecode::ParityBit parity);

// What the command line asks for: the window with these settings, the list of ports, or only a text and an
// exit status, for --help and --version or for a command line that is refused.
struct CommandLine {
  enum class Then { OpenWindow, ListPorts, ListAudio, WriteAudioFile, Exit };
  Then then = Then::OpenWindow;
  Settings settings;
  int exitStatus = 0;          // 0 after --help or --version, kRefused for a command line refused
  std::string standardOutput;  // the help or the version
  std::string standardError;   // why the command line was refused
};

inline constexpr int kRefused = 2;

// Reads the arguments, the program's own path first, with the application's name and version already set.
CommandLine ParseCommandLine(const QStringList& arguments);

struct ChosenStart {
  std::chrono::sys_seconds moment{};
  const char* refusal = nullptr;  // why the text names no moment; nullptr when it does
};

// "YYYY-MM-DD HH:MM" or "YYYY-MM-DD HH:MM:SS", a local time of the zone in use in the years 2000 to
// 2099, which the time code's two-digit year is read in. A time that the zone skips in spring is refused;
// one that autumn repeats is taken at its first pass, before the clock is set back, so that the change
// follows it.
ChosenStart ParseStartTime(std::string_view text);
