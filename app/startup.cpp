// SPDX-License-Identifier: MIT
// The program's entry: the command line, then the application, its one window, and the message loop that
// delivers the ticks.

#include <QApplication>
#include <cstdio>
#include <exception>

#include "app/application.h"
#include "app/audio_file.h"
#include "app/command_line.h"
#include "app/main_window.h"
#include "app/port_listing.h"
#include "app/unattended.h"
#include "platform/console.h"
#include "platform/report.h"
#include "platform/service.h"
#include "platform/stop_request.h"

#ifdef _WIN32
namespace {

// --service: the same as --no-window, under the Service Control Manager, which hears how it ended, and with the
// reports in the event log. Started otherwise it ends at once, as for any option it cannot use.
int RunAsService(const Settings& settings) {
  if (!platform::StartAsService()) return kRefused;
  platform::ReportToEventLog();
  const int status = RunWithoutWindow(settings);
  platform::TellStopped(status);
  return status;
}

}  // namespace
#endif

int main(int argc, char** argv) {
  platform::UseTheStartingConsole();
  // The name, not the display name: Qt would add a display name to every caption, "Error" included.
  QApplication::setApplicationName(QStringLiteral("Velkorin"));
  QApplication::setApplicationVersion(QStringLiteral(VELKORIN_VERSION));
  // Read before the application exists, so that the options that only print need no display.
  QStringList arguments;
  for (int at = 0; at < argc; ++at) arguments << QString::fromLocal8Bit(argv[at]);
  const CommandLine commandLine = ParseCommandLine(arguments);
  std::fputs(commandLine.standardOutput.c_str(), stdout);
  std::fputs(commandLine.standardError.c_str(), stderr);
  if (commandLine.then == CommandLine::Then::Exit) return commandLine.exitStatus;
  if (commandLine.then == CommandLine::Then::ListPorts) {
    PrintPortList(stdout);
    return 0;
  }
  if (commandLine.then == CommandLine::Then::ListAudio) {
    PrintAudioDevices(stdout);
    return 0;
  }
  if (commandLine.then == CommandLine::Then::WriteAudioFile) return WriteAudioFile(commandLine.settings, stderr);

  if (commandLine.settings.NoWindow) {
    QCoreApplication application(argc, argv);  // no display is needed, and none is opened
#ifdef _WIN32
    if (commandLine.settings.Service) return RunAsService(commandLine.settings);
#endif
    return RunWithoutWindow(commandLine.settings);
  }

  QApplication application(argc, argv);
  // Told to end by the system, the program ends as when its window is closed: CleanUp, then status 0; a box that
  // start-up still shows is closed first.
  platform::CallOnStopRequest(&application, [] {
    if (!StopDuringStartUp() && Form1 != nullptr) Form1->close();
  });
  try {
    TForm1 window(commandLine.settings);  // sets Form1; building it runs StartProgram and starts Timer1
    if (StopRequested()) {
      window.close();
    } else if (!TerminationRequested()) {
      Form1->show();
      QApplication::exec();
    }
  } catch (const std::exception& error) {
    ShowException(error);
  }
  return 0;
}
