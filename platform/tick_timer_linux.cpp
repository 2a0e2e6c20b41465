#include "platform/tick_timer.h"

#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <system_error>

#include <sys/prctl.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;

timespec ToTimespec(std::int64_t nanos) {
  return {static_cast<time_t>(nanos / kNanosPerSecond), static_cast<long>(nanos % kNanosPerSecond)};
}

}  // namespace

TickTimer::TickTimer(std::chrono::milliseconds period, QObject* parent) : QObject(parent), period_(period) {
  fd_ = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
  if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "timerfd_create");
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

void TickTimer::Arm() {
  const std::int64_t period = std::chrono::nanoseconds(period_).count();
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const std::int64_t nowNanos = now.tv_sec * kNanosPerSecond + now.tv_nsec;
  itimerspec expiry{};
  expiry.it_value = ToTimespec((nowNanos / period + 1) * period);
  expiry.it_interval = ToTimespec(period);
  // Cancelled when the clock is set, so that the grid follows the new time instead of drifting off it.
  timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &expiry, nullptr);
}

void TickTimer::OnExpired() {
  std::uint64_t expirations = 0;
  if (read(fd_, &expirations, sizeof expirations) < 0) {
    if (errno != ECANCELED) return;  // EAGAIN: nothing expired after all
    Arm();
  }
  emit timeout();
}

}  // namespace platform
