// SPDX-License-Identifier: MIT
#include "platform/realtime.h"

#include <linux/capability.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {

// Below the kernel's threaded interrupts (50) and its own workers above them; the sound, which has a buffer to draw
// on, below the tick.
constexpr int kTickPriority = 30;
constexpr int kSoundPriority = 25;
constexpr std::size_t kStackTouched = std::size_t{256} * 1024;

// Only in the machine's own user namespace: in one of a container's, a capability counts inside it alone, and the
// kernel holds real-time and locking to the machine's.
bool HasCapability(int capability) {
  std::FILE* map = std::fopen("/proc/self/uid_map", "re");
  unsigned long inside = 1, outside = 1, count = 0;
  const bool machines = map != nullptr && std::fscanf(map, "%lu %lu %lu", &inside, &outside, &count) == 3 &&
                        inside == 0 && outside == 0 && count == 4294967295UL;
  if (map != nullptr) std::fclose(map);
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (!machines || ::syscall(SYS_capget, &header, data) != 0) return false;
  return (data[capability / 32].effective & (1U << (capability % 32))) != 0;
}

// Touches the stack below the caller once, so that its pages are there, and locked where memory is, before the first
// tick needs them.
[[gnu::noinline]] void TouchStack() {
  volatile char stack[kStackTouched];
  for (std::size_t at = 0; at < sizeof stack; at += 4096) stack[at] = 0;
}

}  // namespace

Scheduling ScheduleForTiming(TimingThread thread) {
  Scheduling got;
  rlimit allowed{};
  ::getrlimit(RLIMIT_RTPRIO, &allowed);
  const int tick = HasCapability(CAP_SYS_NICE) || allowed.rlim_cur == RLIM_INFINITY
                       ? kTickPriority
                       : static_cast<int>(std::min<rlim_t>(kTickPriority, allowed.rlim_cur));
  // The sound always below the tick, or ordinary where the limit leaves no room below it.
  const int priority = thread == TimingThread::Tick ? tick : std::min(kSoundPriority, tick - 1);
  const sched_param parameters{.sched_priority = priority};
  // For the calling thread alone; a thread it starts (a sound library's, say) is born ordinary.
  if (priority > 0 && ::sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &parameters) == 0) {
    got.realTime = true;
    std::snprintf(got.text, sizeof got.text, "real-time (SCHED_FIFO %d)", priority);
  } else if (priority > 0) {
    std::snprintf(got.text, sizeof got.text, "ordinary, as SCHED_FIFO %d was refused: %s", priority,
                  std::strerror(errno));
  } else {
    std::snprintf(got.text, sizeof got.text,
                  "ordinary, as real-time is not permitted (RLIMIT_RTPRIO %ld, no CAP_SYS_NICE)",
                  static_cast<long>(allowed.rlim_cur));
  }
  // Linux lets an ordinary thread's timers fire up to 50 us late, to group wake-ups.
  ::prctl(PR_SET_TIMERSLACK, 1UL);
  ::prctl(PR_SET_NAME, thread == TimingThread::Tick ? "tick" : "sound");  // as ps -L and top -H show it
  TouchStack();
  return got;
}

// Only where no limit applies: under one, a later allocation past it would fail. None applies with CAP_IPC_LOCK, and
// a limit is lifted where the hard limit or CAP_SYS_RESOURCE allows it.
MemoryLock LockMemory() {
  MemoryLock lock;
  rlimit limit{};
  ::getrlimit(RLIMIT_MEMLOCK, &limit);
  const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
  if (limit.rlim_cur != RLIM_INFINITY && !HasCapability(CAP_IPC_LOCK) && ::setrlimit(RLIMIT_MEMLOCK, &unlimited) != 0) {
    std::snprintf(lock.text, sizeof lock.text, "memory not locked, as RLIMIT_MEMLOCK (%ld KiB) limits it",
                  static_cast<long>(limit.rlim_cur / 1024));
    return lock;
  }
  if (::mlockall(MCL_CURRENT | MCL_FUTURE | MCL_ONFAULT) != 0) {
    std::snprintf(lock.text, sizeof lock.text, "memory not locked: mlockall failed: %s", std::strerror(errno));
    return lock;
  }
  lock.locked = true;
  std::snprintf(lock.text, sizeof lock.text, "memory locked");
  return lock;
}

}  // namespace platform
