#pragma once

#include <QStringList>
#include <chrono>
#include <optional>
#include <string_view>

// The command line, read once at start-up into the settings the window hands to the rooms that need them.
// Without options the program does what it always did.

struct Settings {
  // --require-sync: send nothing while the PC's clock is not synchronised.
  bool RequireSync = false;
  // --start: send and show local time as if the PC's clock had read this moment at start-up.
  std::optional<std::chrono::sys_seconds> Start;
};

// Reads the options of QCoreApplication's arguments. --help and --version are answered on standard output
// and end the program with status 0; an option it cannot use is told on standard error and ends it with 2.
Settings ParseCommandLine(const QStringList& arguments);

struct ChosenStart {
  std::chrono::sys_seconds moment{};
  const char* refusal = nullptr;  // why the text names no moment; nullptr when it does
};

// "YYYY-MM-DD HH:MM" or "YYYY-MM-DD HH:MM:SS", a local time of the process's time zone in the years 2000 to
// 2099, which the time code's two-digit year is read in. A time that the zone skips in spring is refused;
// one that autumn repeats is taken at its first pass, before the clock is set back, so that the change
// follows it.
ChosenStart ParseStartTime(std::string_view text);
