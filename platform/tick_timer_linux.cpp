// SPDX-License-Identifier: MIT
#include "platform/tick_timer.h"

#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <system_error>

#include <sys/prctl.h>
#include <unistd.h>

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

void Tell(const char* what) {
  char line[256];
  std::snprintf(line, sizeof line, what, std::strerror(errno));
  Report(Severity::Error, line);
}

}  // namespace

TickTimer::TickTimer(std::chrono::milliseconds period, QObject* parent)
    : TickTimer(period, kSystemTimerCalls, parent) {}

TickTimer::TickTimer(std::chrono::milliseconds period, const TimerCalls& calls, QObject* parent)
    : QObject(parent), period_(period), calls_(&calls) {
  fd_ = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
  if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "making the tick timer (timerfd_create)");
  // Linux lets an ordinary thread's timers fire up to 50 us late, to group wake-ups; the tick thread
  // wants its second marks on time.
  prctl(PR_SET_TIMERSLACK, 1UL);
  notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TickTimer::OnExpired);
  Arm();
}

TickTimer::~TickTimer() {
  notifier_->setEnabled(false);  // before the descriptor it watches goes
  close(fd_);
}

// Periodic on the grid, and cancelled when the clock is set, so that the grid follows the new time
// instead of drifting off it. A clock set between reading the clock and arming cancels nothing, and
// would leave the timer armed on the old time's grid, an hour away, say: so the clock is read again
// once armed, and if it moved by more than a period, the timer is armed afresh.
void TickTimer::Arm() {
  const std::int64_t period = std::chrono::nanoseconds(period_).count();
  while (followsClockSets_) {
    const std::int64_t before = WallClockNanos(*calls_);
    itimerspec expiry{};
    expiry.it_value = ToTimespec((before / period + 1) * period);
    expiry.it_interval = ToTimespec(period);
    if (calls_->SetTimer(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &expiry, nullptr) != 0) {
      Tell(
          "arming the tick timer to be cancelled when the clock is set failed: %s; it is armed afresh from the "
          "clock at every tick instead");
      followsClockSets_ = false;
      break;
    }
    const std::int64_t moved = WallClockNanos(*calls_) - before;
    if (moved >= 0 && moved <= period) return;
  }
  // One period at a time, to the next grid point, relative to now: a relative timer runs on however
  // the clock is set, and the next tick arms it from the clock's time then.
  itimerspec expiry{};
  expiry.it_value = ToTimespec(period - WallClockNanos(*calls_) % period);
  if (calls_->SetTimer(fd_, 0, &expiry, nullptr) != 0) Tell("arming the tick timer failed: %s; the time code stops");
}

void TickTimer::OnExpired() {
  std::uint64_t expirations = 0;
  const bool expired = calls_->ReadTimer(fd_, &expirations, sizeof expirations) >= 0;
  if (!expired && errno != ECANCELED) return;  // EAGAIN: nothing expired after all
  // Cancelled because the clock was set: the grid is taken up again from the new time. Or armed for
  // one period only.
  if (!expired || !followsClockSets_) Arm();
  emit timeout();
}

}  // namespace platform
