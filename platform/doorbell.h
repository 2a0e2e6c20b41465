// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

namespace platform {

// Rung from any thread, heard on the thread that made it through that thread's event loop: how the tick, which may
// neither wait for the window's thread nor allocate, tells the window that there is something new to show. Rings that
// come before the last was heard are heard once. Where it cannot be made, the constructor throws std::system_error.
class Doorbell : public QObject {
  Q_OBJECT

 public:
  explicit Doorbell(QObject* parent = nullptr);
  ~Doorbell() override;

  void Ring();

 signals:
  void rung();

 private:
#ifdef _WIN32
  void* event_ = nullptr;  // an auto-reset event, which the notifier's wait resets
#else
  int fd_ = -1;  // an event descriptor, read to empty it when heard
#endif
};

}  // namespace platform
