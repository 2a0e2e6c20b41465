// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "app/settings.h"
#include "timecode/local_time.h"

// The command line, read once at start-up into plain settings for the parts of the program that need them.

// What the command line asks for: the window with these settings, the list of ports, or only a text and an
// exit status, for --help and --version or for a command line that is refused.
struct CommandLine {
  enum class Then { OpenWindow, ListPorts, ListAudio, WriteAudioFile, Exit };
  Then then = Then::OpenWindow;
  Settings settings;
  // --start as a local time, which becomes a moment once its zone is in use (TakeZone).
  std::optional<timecode::LocalTime> startAt;
  std::string startText;
  int exitStatus = 0;          // 0 after --help or --version, kRefused for a command line refused
  std::string standardOutput;  // the help or the version
  std::string refusal;         // why the command line was refused
};

inline constexpr int kRefused = 2;

// Reads the arguments, the program's own path first, with the application's name and version already set. The zone
// is only checked here; nothing is changed.
CommandLine ParseCommandLine(const QStringList& arguments);

// At start-up, once the command line is read: the zone it names put in use for the process, and --start read in it.
// False, the refusal on the command line, where the zone skips the chosen time.
bool TakeZone(CommandLine& commandLine);

struct ChosenStart {
  std::chrono::sys_seconds moment{};
  const char* refusal = nullptr;  // why the text names no moment; nullptr when it does
};

// "YYYY-MM-DD HH:MM" or "YYYY-MM-DD HH:MM:SS", a local time of the zone in use in the years 2000 to
// 2099, which the time code's two-digit year is read in. A time that the zone skips in spring is refused;
// one that autumn repeats is taken at its first pass, before the clock is set back, so that the change
// follows it.
ChosenStart ParseStartTime(std::string_view text);
