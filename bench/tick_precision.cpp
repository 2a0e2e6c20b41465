// SPDX-License-Identifier: MIT
// How late the 10 ms tick arrives, for the program's TickTimer (a timer on the wall clock's grid) and,
// for comparison, a precise QTimer of the same period. "late" is how far past the last whole period
// of the wall clock (…:00.000, …:00.010, …) a tick arrives: it is how long after a second begins the
// first tick of that second notices it (a tick more than a period late counts from the period it
// arrives in). "interval" is the time between successive ticks. Run by hand; each timer runs for
// about five seconds.
//
// A QTimer keeps whatever phase against the grid it was started at, so that part of its lateness
// depends on the moment the program started. It is therefore started at several phases spread over
// the period, and the ticks of all of them are taken together.

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>
#include <vector>

#include "platform/tick_timer.h"
#include "timecode/tick_engine.h"

namespace {

using namespace std::chrono;

constexpr std::size_t kTicksPerTimer = 500;
constexpr int kQTimerPhases = 5;

struct Ticks {
  std::vector<nanoseconds> late;
  std::vector<nanoseconds> intervals;
};

template <typename Timer, typename Signal>
// Each tick recorded where it is emitted: on the TickTimer's own thread, on this one for a QTimer.
void RecordTicks(Timer& timer, Signal timeout, std::size_t count, Ticks& ticks) {
  std::optional<steady_clock::time_point> previous;  // the steady clock, untouched by clock steps
  std::size_t recorded = 0;
  QEventLoop loop;
  QObject::connect(
      &timer, timeout, &loop,
      [&] {
        const steady_clock::time_point now = steady_clock::now();
        if (recorded == count) return;
        ticks.late.push_back(system_clock::now().time_since_epoch() % timecode::kTickPeriod);
        if (previous) ticks.intervals.push_back(now - *previous);
        previous = now;
        if (++recorded == count) QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
      },
      Qt::DirectConnection);
  loop.exec();
}

Ticks RecordTickTimer() {
  Ticks ticks;
  platform::TickTimer timer(timecode::kTickPeriod);
  RecordTicks(timer, &platform::TickTimer::timeout, kTicksPerTimer, ticks);
  return ticks;
}

Ticks RecordQTimerAtPhases() {
  Ticks ticks;
  const auto period = duration_cast<system_clock::duration>(timecode::kTickPeriod);
  for (int phase = 0; phase < kQTimerPhases; ++phase) {
    const system_clock::time_point now = system_clock::now();
    const system_clock::time_point nextGridPoint = now - now.time_since_epoch() % period + period;
    std::this_thread::sleep_until(nextGridPoint + period * phase / kQTimerPhases);
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.start(timecode::kTickPeriod);
    RecordTicks(timer, &QTimer::timeout, kTicksPerTimer / kQTimerPhases, ticks);
  }
  return ticks;
}

void PrintPercentiles(const char* timerName, const char* measure, std::vector<nanoseconds> values) {
  std::sort(values.begin(), values.end());
  const auto at = [&](double share) {
    const auto index = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    return duration<double, std::micro>(values[index]).count();
  };
  std::printf("%-24s %-9s %9.0f %9.0f %9.0f %9.0f\n", timerName, measure, at(0.5), at(0.9), at(0.99), at(1.0));
}

void Report(const char* timerName, const Ticks& ticks) {
  PrintPercentiles(timerName, "late", ticks.late);
  PrintPercentiles(timerName, "interval", ticks.intervals);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::printf("%-24s %-9s %9s %9s %9s %9s   (µs, %zu ticks each)\n", "timer", "measure", "p50", "p90", "p99", "max",
              kTicksPerTimer);
  // One timer at a time, so that neither wakes the loop for the other.
  Report("TickTimer (timerfd)", RecordTickTimer());
  Report("QTimer (PreciseTimer)", RecordQTimerAtPhases());
}
