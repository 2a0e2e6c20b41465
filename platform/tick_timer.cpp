// SPDX-License-Identifier: MIT
#include "platform/tick_timer.h"

namespace platform {

// Returns once the thread has its scheduling, so that the line at start can say what it got.
void TickTimer::Begin() {
  thread_ = StartTimingThread(TimingThread::Tick, scheduling_, [this] { Run(); });
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
