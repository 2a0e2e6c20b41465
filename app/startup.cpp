// The program's entry: the application, its one window, and the message loop that delivers the ticks.

#include <QApplication>
#include <exception>

#include "app/application.h"
#include "app/command_line.h"
#include "app/main_window.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  try {
    // The name, not the display name: Qt would add a display name to every caption, "Error" included.
    QApplication::setApplicationName(QStringLiteral("Velkorin"));
    QApplication::setApplicationVersion(QStringLiteral(VELKORIN_VERSION));
    const Settings settings = ParseCommandLine(QApplication::arguments());
    TForm1 window(settings);  // sets Form1; building it runs StartProgram and starts Timer1
    if (!TerminationRequested()) {
      Form1->show();
      QApplication::exec();
    }
  } catch (const std::exception& error) {
    ShowException(error);
  }
  return 0;
}
