// SPDX-License-Identifier: MIT
#include <windows.h>

#include <QMetaObject>
#include <QObject>
#include <functional>
#include <mutex>
#include <utility>

#include "platform/report.h"
#include "platform/service.h"
#include "platform/stop_request.h"

namespace platform {

namespace {

// Where the request goes, read by the threads that the system runs the handlers on: the console's and the Service
// Control Manager's, whose handlers reach nothing but the process's own state. The owner is forgotten as it is
// destroyed, so a late request finds no one rather than a destroyed object.
struct StopRoute {
  std::mutex lock;
  QObject* owner = nullptr;
  std::function<void()> stop;
  bool requested = false;
  bool consoleHandlerSet = false;
} Route;  // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)

// Windows ends a process some five seconds after its console was closed, whatever its handler does; returning
// from the handler ends it at once. So the handler keeps the process for a little less than that, while the main
// thread cleans up and ends it, and ends it itself, with status 0, if that takes longer.
constexpr DWORD kCloseWaitMs = 4'000;

// A program started from a command prompt shares that prompt's console (platform::UseTheStartingConsole): Ctrl-C,
// Ctrl-Break and closing the prompt reach it as they reach the prompt. Ctrl-C reaches it only if it was started
// taking Ctrl-C, not with start /b, say, as nohup leaves SIGHUP ignored on Linux. Logging off and shutting down are
// left to the system: a service stops through its manager, and a program in the session ends with its window.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: RequestStop(); return TRUE;
    case CTRL_CLOSE_EVENT:
      RequestStop();
      ::Sleep(kCloseWaitMs);
      ::TerminateProcess(::GetCurrentProcess(), 0);
      return TRUE;
    default: return FALSE;
  }
}

}  // namespace

void RequestStop() {
  const std::lock_guard<std::mutex> hold(Route.lock);
  if (Route.owner == nullptr || Route.requested) return;
  Route.requested = true;
  QMetaObject::invokeMethod(Route.owner, Route.stop, Qt::QueuedConnection);
}

// A program with a window is also told to end through its window, and Qt already turns that into the window's close
// (a taskkill without /f, say). When the session ends, Qt ends the event loop and the system then ends the process,
// whose handles, the port's included, the system closes.
void CallOnStopRequest(QObject* owner, std::function<void()> stop) {
  {
    const std::lock_guard<std::mutex> hold(Route.lock);
    Route.owner = owner;
    Route.stop = std::move(stop);
    Route.requested = false;
  }
  QObject::connect(owner, &QObject::destroyed, [owner] {
    const std::lock_guard<std::mutex> hold(Route.lock);
    if (Route.owner == owner) Route.owner = nullptr;
  });
  if (Route.consoleHandlerSet) return;
  Route.consoleHandlerSet = ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
  if (Route.consoleHandlerSet) return;
  ReportFailure("setting a handler for the console's Ctrl-C and close", ::GetLastError());
}

}  // namespace platform
