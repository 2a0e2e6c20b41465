// SPDX-License-Identifier: MIT
#include "platform/tick_timer.h"

#include <QTimer>

namespace platform {

namespace {

using namespace std::chrono;

// Qt's timers count whole milliseconds on a steady clock, not the wall clock, so each expiry is taken
// afresh from the wall clock: that keeps the ticks on its grid and follows a clock that was set within
// one tick. Rounded up, because a tick that came just before its grid point would still read the old
// second and start the new second's pulse a whole period late.
milliseconds UntilNextGridPoint(milliseconds period) {
  const auto sinceGridPoint = system_clock::now().time_since_epoch() % period;
  return ceil<milliseconds>(period - sinceGridPoint);
}

}  // namespace

TickTimer::TickTimer(milliseconds period, QObject* parent) : QObject(parent), period_(period) {
  timer_ = new QTimer(this);
  timer_->setTimerType(Qt::PreciseTimer);
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, &TickTimer::OnExpired);
  Arm();
}

TickTimer::~TickTimer() = default;

void TickTimer::Arm() { timer_->start(UntilNextGridPoint(period_)); }

// Armed for the grid point after now, so a late tick is delivered once and the next one comes at the
// following grid point: nothing catches up.
void TickTimer::OnExpired() {
  Arm();
  emit timeout();
}

}  // namespace platform
