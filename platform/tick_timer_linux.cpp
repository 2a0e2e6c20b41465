// SPDX-License-Identifier: MIT
#include "platform/tick_timer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

#include "platform/report.h"
#include "platform/tick_timer_linux.h"

namespace platform {

namespace {

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;

timespec ToTimespec(std::int64_t nanos) {
  return {static_cast<time_t>(nanos / kNanosPerSecond), static_cast<long>(nanos % kNanosPerSecond)};
}

std::int64_t WallClockNanos(const TimerCalls& calls) {
  timespec now{};
  calls.ReadClock(CLOCK_REALTIME, &now);
  return now.tv_sec * kNanosPerSecond + now.tv_nsec;
}

}  // namespace

// A timer descriptor on the wall clock, and an event descriptor that Stop writes to end the wait.
struct TickTimer::Waiting {
  Waiting(std::chrono::milliseconds period, const TimerCalls& calls) : period(period), calls(calls) {
    timer = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (timer < 0) throw std::system_error(errno, std::generic_category(), "making the tick timer (timerfd_create)");
    stop = eventfd(0, EFD_CLOEXEC);
    if (stop < 0) {
      close(timer);
      throw std::system_error(errno, std::generic_category(), "making the tick timer's stop (eventfd)");
    }
  }
  ~Waiting() {
    close(timer);
    close(stop);
  }
  void Arm();

  std::chrono::milliseconds period;
  const TimerCalls& calls;
  int timer = -1, stop = -1;
  bool followsClockSets = true;  // false where the kernel refuses to cancel the timer when the clock is set
};

TickTimer::TickTimer(std::chrono::milliseconds period, Start start, QObject* parent)
    : QObject(parent), period_(period) {
  if (start == Start::ByHand) return;
  waiting_ = std::make_unique<Waiting>(period, kSystemTimerCalls);
  waiting_->Arm();
  Begin();
}

TickTimer::TickTimer(std::chrono::milliseconds period, const TimerCalls& calls, QObject* parent)
    : QObject(parent), period_(period), waiting_(std::make_unique<Waiting>(period, calls)) {
  waiting_->Arm();
  Begin();
}

TickTimer::~TickTimer() { Stop(); }

// Periodic on the grid, and cancelled when the clock is set, so that the grid follows the new time
// instead of drifting off it. A clock set between reading the clock and arming cancels nothing, and
// would leave the timer armed on the old time's grid, an hour away, say: so the clock is read again
// once armed, and if it moved by more than a period, the timer is armed afresh.
void TickTimer::Waiting::Arm() {
  const std::int64_t nanos = std::chrono::nanoseconds(period).count();
  while (followsClockSets) {
    const std::int64_t before = WallClockNanos(calls);
    itimerspec expiry{};
    expiry.it_value = ToTimespec((before / nanos + 1) * nanos);
    expiry.it_interval = ToTimespec(nanos);
    if (calls.SetTimer(timer, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &expiry, nullptr) != 0) {
      ReportFailure("arming the tick timer to be cancelled when the clock is set", errno,
                    "; it is armed afresh from the clock at every tick instead");
      followsClockSets = false;
      break;
    }
    const std::int64_t moved = WallClockNanos(calls) - before;
    if (moved >= 0 && moved <= nanos) return;
  }
  // One period at a time, to the next grid point, relative to now: a relative timer runs on however
  // the clock is set, and the next tick arms it from the clock's time then.
  itimerspec expiry{};
  expiry.it_value = ToTimespec(nanos - WallClockNanos(calls) % nanos);
  if (calls.SetTimer(timer, 0, &expiry, nullptr) != 0)
    ReportFailure("arming the tick timer", errno, "; the time code stops");
}

// A timer cancelled because the clock was set takes up the grid from the new time; one armed for one period only is
// armed again. A wait that fails for another reason than a signal ends the ticks, told, rather than spin at real-time
// priority: the service manager's watchdog then hears no more of the program.
bool TickTimer::WaitForTick() {
  Waiting& waiting = *waiting_;
  pollfd watched[] = {{waiting.timer, POLLIN, 0}, {waiting.stop, POLLIN, 0}};
  while (!stopping_) {
    if (poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      ReportFailure("waiting for the tick timer", errno, "; the time code stops");
      return false;
    }
    if (stopping_) break;
    std::uint64_t expirations = 0;
    if (waiting.calls.ReadTimer(waiting.timer, &expirations, sizeof expirations) >= 0) {
      if (!waiting.followsClockSets) waiting.Arm();
      return true;
    }
    if (errno == EAGAIN) continue;  // nothing expired after all
    if (errno != ECANCELED) {
      ReportFailure("reading the tick timer", errno, "; the time code stops");
      return false;
    }
    waiting.Arm();
    return true;
  }
  return false;
}

void TickTimer::WakeToStop() {
  const std::uint64_t one = 1;
  (void)!write(waiting_->stop, &one, sizeof one);
}

}  // namespace platform
