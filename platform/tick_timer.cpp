// SPDX-License-Identifier: MIT
#include "platform/tick_timer.h"

#include <future>

namespace platform {

// Returns once the thread has its scheduling, so that the line at start can say what it got.
void TickTimer::Begin() {
  std::promise<void> scheduled;
  thread_ = std::thread([this, &scheduled] {
    scheduling_ = ScheduleForTiming(TimingThread::Tick);
    scheduled.set_value();
    Run();
  });
  scheduled.get_future().wait();
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
