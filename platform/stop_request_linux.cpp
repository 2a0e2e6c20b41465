// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/report.h"
#include "platform/stop_request.h"

namespace platform {
namespace {

// The self-pipe: the signal handler writes a byte to it, the event loop reads it. A signal handler reaches nothing but
// the process's own state.
int selfPipe[2] = {-1, -1};  // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)

// All the handler does, since a signal may interrupt anything: one write, which is safe there.
void OnStopSignal(int) {
  const int interruptedErrno = errno;
  const char byte = 0;
  (void)!::write(selfPipe[1], &byte, 1);
  errno = interruptedErrno;
}

}  // namespace

void CallOnStopRequest(QObject* owner, std::function<void()> stop) {
  if (::pipe2(selfPipe, O_NONBLOCK | O_CLOEXEC) != 0) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "making a pipe for the stop signals failed: %s; SIGTERM, SIGINT and SIGHUP end "
                  "the program without closing its ports",
                  std::strerror(errno));
    Report(Severity::Error, line);
    return;
  }
  auto* notifier = new QSocketNotifier(selfPipe[0], QSocketNotifier::Read, owner);
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [stop = std::move(stop)] {
    char bytes[16];
    while (::read(selfPipe[0], bytes, sizeof bytes) > 0) {
    }
    stop();
  });
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
    struct sigaction previous {};
    if (::sigaction(number, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
      ::sigaction(number, &action, nullptr);
  }
}

}  // namespace platform
