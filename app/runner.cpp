// SPDX-License-Identifier: MIT
#include "app/runner.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <exception>

#include "app/german_time.h"
#include "platform/realtime.h"
#include "platform/report.h"
#include "platform/service.h"
#include "platform/stop_request.h"

namespace {

// The single-instance guard's name, and what a second copy with a window says below its box.
constexpr char kInstanceGuardName[] = "test";
constexpr char kRunningAlready[] = "Another copy runs in this session and keeps the port: use that one.";

// A chosen time as if the clock had read it now: whole seconds, so the second marks stay where they are.
std::int64_t OffsetFor(const Settings& settings) {
  if (!settings.Start) return 0;
  const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
  return (*settings.Start - now).count();
}

// "timing: the tick real-time (SCHED_FIFO 30), the sound real-time (SCHED_FIFO 25), memory locked", and where not all
// of that was granted, how to allow it.
std::string TimingText(const platform::Scheduling& tick, const platform::Scheduling* sound,
                       const platform::MemoryLock& memory) {
  std::string text = std::string("timing: the tick ") + tick.text;
  if (sound != nullptr && std::strcmp(tick.text, sound->text) == 0) {
    text = std::string("timing: the tick and the sound ") + tick.text;
  } else if (sound != nullptr) {
    text += std::string(", the sound ") + sound->text;
  }
  if (memory.text[0] != '\0') text += std::string(", ") + memory.text;
  const bool allWanted =
      tick.realTime && (sound == nullptr || sound->realTime) && (memory.locked || memory.text[0] == '\0');
  if (!allWanted && platform::kHowToAllowTiming[0] != '\0') text += std::string("; ") + platform::kHowToAllowTiming;
  return text;
}

}  // namespace

Runner::Runner(const Settings& settings, bool withWindow, platform::LocalClock* clock)
    : settings_(settings),
      withWindow_(withWindow),
      ownClock_(clock == nullptr ? std::make_unique<platform::LocalClock>(OffsetFor(settings)) : nullptr),
      clock_(clock == nullptr ? ownClock_.get() : clock) {}

Runner::~Runner() { CleanUp(); }

// Qt drops a quit() made before the main loop runs. Queued, it waits for the loop, unless a message box shown
// meanwhile runs a loop of its own that takes the call and drops it: exactly what a second copy does at start-up. So
// the request is also remembered, for the entry to look at before it starts the loop.
//
// What keeps the program from starting is reported, the reason where there is one: a window adds its box, with the
// program's own words and the reason below them.
void Runner::Fail(Host& host, const std::string& text, const std::string& why, int exitStatus) {
  platform::Report(platform::Severity::Error, (why.empty() ? text : why).c_str());
  host.TellStartFailure(text, why);
  endRequested_ = true;
  exitStatus_ = std::max(exitStatus_, exitStatus);
  QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

// The guard first, so that a second copy without a window ends before it makes anything. A second copy with a window
// is told so and asked to end, but still tries the ports, which the first copy holds: it is told that too. No tick
// comes before the timer is made, last.
bool Runner::Start(Host& host, output::Output* hostOutput) {
  platform::CallOnStopRequest(&stopRequests_, [&host] { host.StopRequested(); });
  started_ = true;
  try {
    const platform::InstanceGuard guard = platform::CreateInstanceGuard(kInstanceGuardName);
    guard_ = guard.handle;
    if (guard.alreadyExisted) {
      Fail(host, "Application already running", withWindow_ ? kRunningAlready : "", 1);
      if (!withWindow_) return false;
    }
    const std::string warning = GermanTimeWarning(settings_, std::time(nullptr) + clock_->OffsetSeconds());
    if (!warning.empty()) platform::Report(platform::Severity::Warning, warning.c_str());
    // Before the threads that keep time are made, so that their stacks are locked too.
    const platform::MemoryLock memory = ownClock_ != nullptr ? platform::LockMemory() : platform::MemoryLock{};
    transmitter_ = std::make_unique<Transmitter>(settings_, *clock_, hostOutput);
    // A name that stands for no serial port is refused as an option the program cannot use.
    for (const PortFailure& port : transmitter_->OpenPorts(!withWindow_))
      Fail(host, "Failure to open " + port.name, port.why, port.noSerialPort ? 2 : 1);
    if (endRequested_) return false;
    // The PC's clock is ticked by the tick's own thread; a stand-in's, by whoever made it. The first ticks, before the
    // connection, go nowhere: the line at start is told before any tick reaches the transmitter.
    using Start = platform::TickTimer::Start;
    timer_ = std::make_unique<platform::TickTimer>(timecode::kTickPeriod, ownClock_ ? Start::Now : Start::ByHand);
    const std::string timing = TimingText(timer_->scheduling(), transmitter_->SoundScheduling(), memory);
    if (!withWindow_) {
      transmitter_->ReportStart(timing);
    } else if (ownClock_ != nullptr) {
      platform::Report(platform::Severity::Info, timing.c_str());
    }
    QObject::connect(
        timer_.get(), &platform::TickTimer::timeout, timer_.get(), [this] { transmitter_->TimerTick(); },
        Qt::DirectConnection);
  } catch (const std::exception& error) {
    Fail(host, error.what(), "", 1);
  }
  if (endRequested_) return false;
  platform::TellReady();
  return true;
}

// The tick's thread ends before the transmitter goes; the timer stays until the runner goes, silenced.
void Runner::CleanUp() {
  if (!started_) return;
  started_ = false;
  if (timer_ != nullptr) {
    timer_->Stop();
    timer_->blockSignals(true);
  }
  transmitter_.reset();
  platform::ReleaseInstanceGuard(guard_);
  platform::TellStopping();
}
