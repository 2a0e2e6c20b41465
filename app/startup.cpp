// SPDX-License-Identifier: MIT
// The program's entry: the command line, then the application, its one window, and the message loop that
// delivers the ticks.

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <exception>

#include "app/audio_file.h"
#include "app/command_line.h"
#include "app/main_window.h"
#include "app/port_listing.h"
#include "app/unattended.h"
#include "platform/console.h"
#include "platform/report.h"
#include "platform/service.h"

namespace {

#ifdef _WIN32
// --service: the same as --no-window, under the Service Control Manager, which hears how it ended, and with the
// reports in the event log. Started otherwise it ends at once, as for any option it cannot use.
int RunAsService(const Settings& settings) {
  if (!platform::StartAsService()) return kRefused;
  platform::ReportToEventLog();
  const int status = RunWithoutWindow(settings);
  platform::TellStopped(status);
  return status;
}
#endif

int RunWindow(int argc, char** argv, const Settings& settings) {
  QApplication application(argc, argv);
  try {
    TForm1 Form1(settings);  // building it runs StartProgram, which starts Timer1
    if (Form1.StoppedDuringStartUp()) {
      Form1.close();
    } else if (Form1.EndRequested()) {
      return Form1.ExitStatus();
    } else {
      Form1.show();
      QApplication::exec();
    }
  } catch (const std::exception& error) {
    // The application's standard display of an error that nothing else caught.
    QMessageBox::critical(nullptr, QCoreApplication::applicationName(), QString::fromLocal8Bit(error.what()));
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  platform::UseTheStartingConsole();
  // The name, not the display name: Qt would add a display name to every caption, "Error" included.
  QApplication::setApplicationName(QStringLiteral("Velkorin"));
  QApplication::setApplicationVersion(QStringLiteral(VELKORIN_VERSION));
  // Read before the application exists, so that the options that only print need no display.
  QStringList arguments;
  for (int at = 0; at < argc; ++at) arguments << QString::fromLocal8Bit(argv[at]);
  CommandLine commandLine = ParseCommandLine(arguments);
  if (commandLine.then != CommandLine::Then::Exit) TakeZone(commandLine);
  std::fputs(commandLine.standardOutput.c_str(), stdout);
  if (!commandLine.refusal.empty()) {
    platform::Report(platform::Severity::Error, commandLine.refusal.c_str());
    platform::Report(platform::Severity::Info, "Try 'velkorin --help' for the options.");
  }
  const Settings& settings = commandLine.settings;
  switch (commandLine.then) {
    case CommandLine::Then::Exit: return commandLine.exitStatus;
    case CommandLine::Then::ListPorts: PrintPortList(stdout); return 0;
    case CommandLine::Then::ListAudio: PrintAudioDevices(stdout); return 0;
    case CommandLine::Then::WriteAudioFile: return WriteAudioFile(settings);
    case CommandLine::Then::OpenWindow: break;
  }
  if (!settings.NoWindow) return RunWindow(argc, argv, settings);
  QCoreApplication application(argc, argv);  // no display is needed, and none is opened
#ifdef _WIN32
  if (settings.Service) return RunAsService(settings);
#endif
  return RunWithoutWindow(settings);
}
