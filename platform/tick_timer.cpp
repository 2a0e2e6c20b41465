// SPDX-License-Identifier: MIT
#include "platform/tick_timer.h"

namespace platform {

// Returns once the thread has its scheduling, so that the line at start can say what it got. A mutex and a condition
// variable, not std::atomic's wait: a start under Wine hung once in that, which the MinGW build's library implements
// with a waiter pool of its own.
void TickTimer::Begin() {
  thread_ = std::thread([this] {
    {
      const std::lock_guard lock(scheduledMutex_);
      scheduling_ = ScheduleForTiming(TimingThread::Tick);
      scheduled_ = true;
    }
    scheduledChanged_.notify_one();
    Run();
  });
  std::unique_lock lock(scheduledMutex_);
  scheduledChanged_.wait(lock, [this] { return scheduled_; });
}

void TickTimer::Run() {
  while (WaitForTick()) emit timeout();
}

void TickTimer::Stop() {
  if (!thread_.joinable()) return;
  stopping_ = true;
  WakeToStop();
  thread_.join();
}

}  // namespace platform
