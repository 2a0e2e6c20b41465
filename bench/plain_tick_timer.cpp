// SPDX-License-Identifier: MIT
// The program's tick as a plain periodic QTimer, for comparison only: it keeps whatever phase against
// the wall clock's seconds it was started at, so a pulse starts anywhere up to a period after its second.

#include <QTimer>

#include "platform/tick_timer.h"

namespace platform {

TickTimer::TickTimer(std::chrono::milliseconds period, QObject* parent) : QObject(parent), period_(period) {
  timer_ = new QTimer(this);
  timer_->setTimerType(Qt::PreciseTimer);
  connect(timer_, &QTimer::timeout, this, &TickTimer::timeout);
  timer_->start(period_);
}

TickTimer::~TickTimer() = default;

}  // namespace platform
