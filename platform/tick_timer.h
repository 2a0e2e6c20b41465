// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <chrono>

class QSocketNotifier;
class QTimer;

namespace platform {

// A periodic tick on the main thread whose expiries sit on the wall clock's grid of whole periods
// (…:00.000, …:00.010, …), so the first tick of a new second comes just after the second begins
// rather than anywhere up to a period later. A tick that comes late is delivered once; nothing
// catches up. When the clock is set, the grid is taken up again from the new time, within a tick.
class TickTimer : public QObject {
  Q_OBJECT

 public:
  explicit TickTimer(std::chrono::milliseconds period, QObject* parent = nullptr);
  ~TickTimer() override;

  std::chrono::milliseconds period() const { return period_; }

 signals:
  void timeout();

 private:
  void Arm();
  void OnExpired();

  std::chrono::milliseconds period_;
  // What wakes the tick, by system: on Linux a timer descriptor and the notifier watching it,
  // elsewhere a Qt timer.
  int fd_ = -1;
  bool followsClockSets_ = true;  // false where the kernel refuses to cancel the timer when the clock is set
  QSocketNotifier* notifier_ = nullptr;
  QTimer* timer_ = nullptr;
};

}  // namespace platform
