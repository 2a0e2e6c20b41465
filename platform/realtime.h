// SPDX-License-Identifier: MIT
#pragma once

// Scheduling for the two threads that keep time, the tick that switches the lines and the sound: real-time where the
// process is permitted it, never asked of anyone; the rest of the program runs as it would.

#include <functional>
#include <thread>

namespace platform {

enum class TimingThread { Tick, Sound };

// What a thread got, for the line at start: "real-time (SCHED_FIFO 30)", "at time-critical priority", or "ordinary, as
// …" and why.
struct Scheduling {
  bool realTime = false;
  char text[192] = "not started";
};

// Raises the calling thread, where the process may: on Linux SCHED_FIFO at a middle priority well below the kernel's
// interrupt threads (or what RLIMIT_RTPRIO allows, if less; the sound always below the tick), its children born
// ordinary, its timers' slack cut to the least, the first 256 KiB of its stack touched so that it never faults in
// later, and its name set ("tick", "sound"); on Windows the tick at time-critical priority and the sound registered
// with the multimedia class scheduler as "Pro Audio".
Scheduling ScheduleForTiming(TimingThread thread);

// A thread that raises itself so and then runs `body`. Returns once the thread has its scheduling, which `got` then
// holds, so that the line at start can say what it got.
std::thread StartTimingThread(TimingThread thread, Scheduling& got, std::function<void()> body);

// Linux: every page the process touches kept in memory (mlockall, locking each page as it is first touched), where
// the process may lock without a limit (CAP_IPC_LOCK, or RLIMIT_MEMLOCK unlimited or lifted to it): under a limit a
// later allocation past it would fail. Windows pages a busy thread's memory out far less: nothing is done there. The
// text says what was done, or why not.
struct MemoryLock {
  bool locked = false;
  char text[192] = "";
};
MemoryLock LockMemory();

// Where the process may not have all of that, how to allow it to; empty where nothing needs allowing.
#ifdef _WIN32
inline constexpr char kHowToAllowTiming[] = "";
#else
inline constexpr char kHowToAllowTiming[] =
    "a service is allowed real-time by LimitRTPRIO= and LimitMEMLOCK=infinity, a user by rtprio and memlock lines in "
    "/etc/security/limits.d";
#endif

}  // namespace platform
