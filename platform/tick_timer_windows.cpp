// SPDX-License-Identifier: MIT
#include "platform/tick_timer.h"

#include <windows.h>
// After windows.h, which it needs.
#include <timeapi.h>

#include <cstdint>
#include <system_error>

#include "platform/report.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace platform {

namespace {

constexpr std::int64_t kHundredNanosPerMilli = 10'000;

std::int64_t WallClockHundredNanos() {
  FILETIME now{};
  ::GetSystemTimePreciseAsFileTime(&now);
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

}  // namespace

// A waitable timer, high-resolution where the system has them (Windows 10 1803 on); elsewhere an ordinary one with the
// system's timer resolution raised to 1 ms for as long as the program ticks. And an event that Stop sets.
struct TickTimer::Waiting {
  Waiting() {
    timer = ::CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    if (timer == nullptr) {
      timer = ::CreateWaitableTimerW(nullptr, FALSE, nullptr);
      raisedResolution = timer != nullptr && ::timeBeginPeriod(1) == TIMERR_NOERROR;
    }
    stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (timer == nullptr || stop == nullptr) {
      const DWORD error = ::GetLastError();
      Release();
      throw std::system_error(static_cast<int>(error), std::system_category(), "making the tick timer");
    }
  }
  ~Waiting() { Release(); }
  void Release() {
    if (raisedResolution) ::timeEndPeriod(1);
    if (timer != nullptr) ::CloseHandle(timer);
    if (stop != nullptr) ::CloseHandle(stop);
  }

  HANDLE timer = nullptr, stop = nullptr;
  bool raisedResolution = false;
};

TickTimer::TickTimer(std::chrono::milliseconds period, Start start, QObject* parent)
    : QObject(parent), period_(period) {
  if (start == Start::ByHand) return;
  waiting_ = std::make_unique<Waiting>();
  Begin();
}

TickTimer::~TickTimer() { Stop(); }

// Armed afresh at every tick for the next grid point of the wall clock, relative to now: a clock that is set moves the
// grid within a tick, and a tick that comes late is delivered once, the next at the following grid point.
bool TickTimer::WaitForTick() {
  const std::int64_t period = period_.count() * kHundredNanosPerMilli;
  LARGE_INTEGER due{};
  due.QuadPart = -(period - WallClockHundredNanos() % period);  // negative: relative
  if (!::SetWaitableTimer(waiting_->timer, &due, 0, nullptr, nullptr, FALSE)) {
    ReportFailure("arming the tick timer", ::GetLastError(), "; the time code stops");
    ::WaitForSingleObject(waiting_->stop, INFINITE);
    return false;
  }
  const HANDLE waited[] = {waiting_->stop, waiting_->timer};
  return ::WaitForMultipleObjects(2, waited, FALSE, INFINITE) == WAIT_OBJECT_0 + 1 && !stopping_;
}

void TickTimer::WakeToStop() { ::SetEvent(waiting_->stop); }

}  // namespace platform
