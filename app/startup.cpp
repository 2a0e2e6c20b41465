// The program's entry: the application, its one window, and the message loop that delivers the ticks.

#include <QApplication>

#include "app/main_window.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("Velkorin"));
  TForm1 window;  // sets Form1; building it runs StartProgram and starts Timer1
  Form1->show();
  QApplication::exec();
  return 0;
}
