// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <chrono>

class QSocketNotifier;
class QTimer;

namespace platform {

struct TimerCalls;

// A periodic tick on the main thread whose expiries sit on the wall clock's grid of whole periods
// (…:00.000, …:00.010, …), so the first tick of a new second comes just after the second begins
// rather than anywhere up to a period later. A tick that comes late is delivered once; nothing
// catches up. When the clock is set, the grid is taken up again from the new time, within a tick. Where it cannot be
// made, the constructor throws std::system_error.
class TickTimer : public QObject {
  Q_OBJECT

 public:
  explicit TickTimer(std::chrono::milliseconds period, QObject* parent = nullptr);
#ifdef __linux__
  // The same on stand-ins for the system calls it makes (tick_timer_linux.h).
  TickTimer(std::chrono::milliseconds period, const TimerCalls& calls, QObject* parent = nullptr);
#endif
  ~TickTimer() override;

  std::chrono::milliseconds period() const { return period_; }

 signals:
  void timeout();

 private:
  void Arm();
  void OnExpired();

  std::chrono::milliseconds period_;
  const TimerCalls* calls_ = nullptr;
  // What wakes the tick, by system: on Linux a timer descriptor and the notifier watching it,
  // elsewhere a Qt timer.
  int fd_ = -1;
  bool followsClockSets_ = true;  // false where the kernel refuses to cancel the timer when the clock is set
  QSocketNotifier* notifier_ = nullptr;
  QTimer* timer_ = nullptr;
};

}  // namespace platform
