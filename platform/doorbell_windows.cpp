// SPDX-License-Identifier: MIT
#include "platform/doorbell.h"

#include <windows.h>

#include <QWinEventNotifier>
#include <system_error>

namespace platform {

Doorbell::Doorbell(QObject* parent) : QObject(parent) {
  event_ = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (event_ == nullptr) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "making the window's doorbell (CreateEvent)");
  }
  auto* notifier = new QWinEventNotifier(event_, this);
  connect(notifier, &QWinEventNotifier::activated, this, &Doorbell::rung);
}

Doorbell::~Doorbell() {
  qDeleteAll(findChildren<QWinEventNotifier*>());  // before the event it waits on goes
  ::CloseHandle(event_);
}

void Doorbell::Ring() { ::SetEvent(event_); }

}  // namespace platform
