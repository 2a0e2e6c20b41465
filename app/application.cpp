// SPDX-License-Identifier: MIT
#include "app/application.h"

#include <QApplication>
#include <QMessageBox>

bool Terminating = false;

namespace {

bool Stopping = false;

void ShowModalMessageBox(const char* text, const char* caption) {
  if (Stopping) return;
  QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(caption), QString::fromLatin1(text), QMessageBox::Ok);
  box.exec();
}

}  // namespace

void (*ShowMessageBox)(const char* text, const char* caption) = ShowModalMessageBox;

// Qt drops a quit() made before the main loop runs. Queued, it waits for the loop, unless a message box
// shown meanwhile runs a loop of its own that takes the call and drops it: exactly what a second copy
// does at start-up. So the request is also remembered, for the entry to look at before it starts the loop.
void Terminate() {
  Terminating = true;
  QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

bool TerminationRequested() { return Terminating; }

bool StopDuringStartUp() {
  Stopping = true;
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (box != nullptr) box->reject();
  return box != nullptr;
}

bool StopRequested() { return Stopping; }

void ShowException(const std::exception& error) {
  QMessageBox::critical(nullptr, QCoreApplication::applicationName(), QString::fromLocal8Bit(error.what()));
}
