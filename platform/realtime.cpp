// SPDX-License-Identifier: MIT
#include "platform/realtime.h"

#include <condition_variable>
#include <mutex>
#include <utility>

namespace platform {

// A mutex and a condition variable, not std::atomic's wait: a start under Wine hung once in that, which the MinGW
// build's library implements with a waiter pool of its own. The thread notifies under the lock, so that the starter,
// whose mutex and condition variable these are, cannot return and take them away while it does.
std::thread StartTimingThread(TimingThread thread, Scheduling& got, std::function<void()> body) {
  std::mutex lock;
  std::condition_variable changed;
  bool scheduled = false;
  std::thread started([&, thread, body = std::move(body)] {
    {
      const std::lock_guard hold(lock);
      got = ScheduleForTiming(thread);
      scheduled = true;
      changed.notify_one();
    }
    body();
  });
  std::unique_lock hold(lock);
  changed.wait(hold, [&] { return scheduled; });
  return started;
}

}  // namespace platform
