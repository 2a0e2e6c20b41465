#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include "platform/port_name.h"

namespace {

CommandLine Exit(int status, const QString& standardOutput, const QString& standardError = {}) {
  CommandLine exit;
  exit.then = CommandLine::Then::Exit;
  exit.exitStatus = status;
  exit.standardOutput = standardOutput.toLocal8Bit().toStdString();
  exit.standardError = standardError.toLocal8Bit().toStdString();
  return exit;
}

CommandLine Refused(const QString& why) {
  return Exit(kRefused, {}, QStringLiteral("velkorin: %1\nTry 'velkorin --help' for the options.\n").arg(why));
}

}  // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Sends the PC clock's time as a DCF77 time code on a serial port's "
                     "DTR and RTS lines."));
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
#ifdef _WIN32
  const QString portForms = QStringLiteral("COMn");
#else
  const QString portForms = QStringLiteral("COMn (COM1 is /dev/ttyS0) or a device path such as /dev/ttyUSB0");
#endif
  const QCommandLineOption port(QStringLiteral("port"),
                                QStringLiteral("The serial port to use: %1. Default: COM1.").arg(portForms),
                                QStringLiteral("name"));
  const QCommandLineOption listPorts(QStringLiteral("list-ports"),
                                     QStringLiteral("Lists the serial ports present, opening none of them, and ends."));
  parser.addOptions({port, listPorts});

  if (!parser.parse(arguments)) return Refused(parser.errorText());
  if (!parser.positionalArguments().isEmpty()) {
    return Refused(QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst()));
  }
  if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
    // Before the application exists, Qt cannot name the program in the usage line.
    return Exit(0, parser.helpText().replace(QStringLiteral("<executable_name>"), arguments.value(0)));
  }
  if (parser.isSet(version)) {
    return Exit(0, QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion() + u'\n');
  }

  CommandLine commandLine;
  if (parser.isSet(listPorts)) commandLine.then = CommandLine::Then::ListPorts;
  if (parser.isSet(port)) {
    commandLine.settings.PortName = parser.value(port).toLocal8Bit().toStdString();
    char device[platform::kDevicePathSize];
    if (!platform::DevicePathFor(commandLine.settings.PortName.c_str(), device)) {
      return Refused(QStringLiteral("'%1' names no serial port: give %2.").arg(parser.value(port), portForms));
    }
  }
  return commandLine;
}
