#pragma once

#include <QStringList>
#include <string>

// The command line, read once at start-up into plain settings for the parts of the program that need them.

// How the program is to run.
struct Settings {
  std::string PortName = "COM1";  // as the user gave it: COMn, or on Linux a device path
};

// What the command line asks for: the window with these settings, the list of ports, or only a text and an
// exit status, for --help and --version or for a command line that is refused.
struct CommandLine {
  enum class Then { OpenWindow, ListPorts, Exit };
  Then then = Then::OpenWindow;
  Settings settings;
  int exitStatus = 0;          // 0 after --help or --version, kRefused for a command line refused
  std::string standardOutput;  // the help or the version
  std::string standardError;   // why the command line was refused
};

inline constexpr int kRefused = 2;

// Reads the arguments, the program's own path first, with the application's name and version already set.
CommandLine ParseCommandLine(const QStringList& arguments);
