// SPDX-License-Identifier: MIT
#include "platform/realtime.h"

#include <windows.h>
// After windows.h, which it needs.
#include <avrt.h>

#include <cstdio>

#include "platform/port_error.h"

namespace platform {

// Neither asks for a privilege: time-critical is the highest priority of a normal process's class, and the
// multimedia class scheduler raises a registered thread for as long as it lives, within the share of the processor
// it leaves to others.
Scheduling ScheduleForTiming(TimingThread thread) {
  Scheduling got;
  DWORD task = 0;
  got.realTime = thread == TimingThread::Tick
                     ? ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL) != 0
                     : ::AvSetMmThreadCharacteristicsW(L"Pro Audio", &task) != nullptr;
  if (got.realTime) {
    std::snprintf(got.text, sizeof got.text, "%s",
                  thread == TimingThread::Tick ? "at time-critical priority"
                                               : "raised by the multimedia class scheduler (Pro Audio)");
    return got;
  }
  char reason[160];
  DescribeSystemError(::GetLastError(), reason, sizeof reason);
  std::snprintf(got.text, sizeof got.text, "at normal priority: %s", reason);
  return got;
}

MemoryLock LockMemory() { return {}; }

}  // namespace platform
