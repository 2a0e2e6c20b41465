// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/realtime.h"

namespace platform {

struct TimerCalls;

// A periodic tick on a thread of its own, raised for timing (platform/realtime.h), whose expiries sit on the wall
// clock's grid of whole periods (…:00.000, …:00.010, …), so the first tick of a new second comes just after the second
// begins rather than anywhere up to a period later. A tick that comes late is delivered once; nothing catches up. When
// the clock is set, the grid is taken up again from the new time, within a tick. Where it cannot be made, the
// constructor throws std::system_error.
//
// timeout() is emitted on the tick's thread: connect to it with Qt::DirectConnection, and hand on to other threads
// only what may cross (the window learns of each second through a doorbell, platform/doorbell.h).
class TickTimer : public QObject {
  Q_OBJECT

 public:
  // ByHand: no thread and no ticks of its own; whoever made it emits timeout(), as tests on a clock of their own do.
  enum class Start { Now, ByHand };
  explicit TickTimer(std::chrono::milliseconds period, Start start = Start::Now, QObject* parent = nullptr);
#ifdef __linux__
  // The same on stand-ins for the system calls it makes (tick_timer_linux.h).
  TickTimer(std::chrono::milliseconds period, const TimerCalls& calls, QObject* parent = nullptr);
#endif
  ~TickTimer() override;

  // No tick is emitted once it returns.
  void Stop();

  std::chrono::milliseconds period() const { return period_; }
  // What the tick's thread got, once the constructor has returned; "not started" for one ticked by hand.
  const Scheduling& scheduling() const { return scheduling_; }

 signals:
  void timeout();

 private:
  struct Waiting;  // what the thread waits on, by system: on Linux a timer descriptor, on Windows a waitable timer

  void Begin();
  void Run();
  // Blocks until the next grid point and returns true, or returns false once Stop has been asked, or where waiting
  // failed, told: the thread then ends rather than spin.
  bool WaitForTick();
  void WakeToStop();

  std::chrono::milliseconds period_;
  std::unique_ptr<Waiting> waiting_;
  Scheduling scheduling_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;  // last: started once the rest is in place
};

}  // namespace platform
