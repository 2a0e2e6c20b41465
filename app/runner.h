// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "app/settings.h"
#include "app/transmitter.h"
#include "output/output.h"
#include "platform/instance_guard.h"
#include "platform/local_clock.h"
#include "platform/tick_timer.h"

// What the runner asks of the host that runs the transmitter: the window, or none.
class Host {
 public:
  // Something that keeps the program from running as asked, in the program's own words ("Application already
  // running", "Failure to open COM1"), and why, with what to do, where there is more to say; both already reported.
  virtual void TellStartFailure(const std::string& text, const std::string& why) = 0;
  // The system asked the program to end: a signal, Ctrl-C, the service manager.
  virtual void StopRequested() = 0;

 protected:
  ~Host() = default;
};

// How every host runs the transmitter, the window, --no-window and the services alike: the single-instance guard,
// the ports opened (and, without a window, waited for), the tick timer at the engine's period, the system's requests
// to stop, the service manager told when the program is ready and when it stops, and one place that catches a failure
// to start.
class Runner {
 public:
  // Without a window a second copy ends at once and a port that cannot be opened is waited for; with one, the user is
  // told of either in a box, and the program ends once start-up is over, with status 1. A name that stands for no
  // serial port ends it with status 2 either way. `clock`: the PC's, or a stand-in.
  Runner(const Settings& settings, bool withWindow, platform::LocalClock* clock = nullptr);
  Runner(const Runner&) = delete;
  Runner& operator=(const Runner&) = delete;
  ~Runner();

  // Start-up, in this order: the stop requests taken, the guard, the transmitter with the host's own output, its ports,
  // the tick timer; the service manager told it is ready. False when the program is to end: the host has been told
  // why, and ExitStatus says how it ends.
  bool Start(Host& host, output::Output* hostOutput);

  // The ports given back, the sound stopped, the guard released; the service manager told it is stopping.
  void CleanUp();

  Transmitter* transmitter() { return transmitter_.get(); }
  platform::TickTimer* timer() { return timer_.get(); }
  // Whether start-up asked the program to end (the window's boxes): the event loop then does not run.
  bool EndRequested() const { return endRequested_; }
  int ExitStatus() const { return exitStatus_; }

 private:
  void Fail(Host& host, const std::string& text, const std::string& why, int exitStatus);

  const Settings settings_;
  const bool withWindow_;
  std::unique_ptr<platform::LocalClock> ownClock_;
  platform::LocalClock* clock_;
  QObject stopRequests_;  // while it lives, the system's requests to stop reach the host
  platform::GuardHandle guard_ = platform::kNoGuard;
  std::unique_ptr<Transmitter> transmitter_;
  std::unique_ptr<platform::TickTimer> timer_;
  bool started_ = false;  // and not cleaned up yet
  bool endRequested_ = false;
  int exitStatus_ = 0;
};
