#include "app/application.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace {

bool terminationRequested = false;

void ShowModalMessageBox(const char* text, const char* caption) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(caption), QString::fromLatin1(text), QMessageBox::Ok);
  box.exec();
}

}  // namespace

void (*ShowMessageBox)(const char* text, const char* caption) = ShowModalMessageBox;

// Qt ignores a quit() made while the main loop is not running, and a request made during start-up
// would be taken up and dropped by the loop of a message box shown after it. So the request is also
// remembered, for the entry to look at before it starts the loop.
void Terminate() {
  terminationRequested = true;
  QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

bool TerminationRequested() { return terminationRequested; }

void ShowException(const std::exception& error) {
  QMessageBox::critical(nullptr, QCoreApplication::applicationName(), QString::fromLocal8Bit(error.what()));
}
