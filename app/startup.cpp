// The program's entry: the application, its one window, and the message loop that delivers the ticks.

#include <QApplication>
#include <exception>

#include "app/application.h"
#include "app/main_window.h"
#include "platform/stop_request.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  try {
    // The name, not the display name: Qt would add a display name to every caption, "Error" included.
    QApplication::setApplicationName(QStringLiteral("Velkorin"));
    TForm1 window;  // sets Form1; building it runs StartProgram and starts Timer1
    // Told to end by the system, the program ends as when its window is closed: CleanUp, then status 0.
    platform::CallOnStopRequest(&window, [] { Form1->close(); });
    if (!TerminationRequested()) {
      Form1->show();
      QApplication::exec();
    }
  } catch (const std::exception& error) {
    ShowException(error);
  }
  return 0;
}
