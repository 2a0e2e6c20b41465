// SPDX-License-Identifier: MIT
#include <windows.h>

#include <cstdio>

#include "platform/port_error.h"
#include "platform/report.h"
#include "platform/service.h"

namespace platform {

namespace {

// The Service Control Manager's dispatcher keeps the thread that calls it for as long as the service runs, while the
// program's event loop needs the main thread; so the dispatcher has a thread of its own, and the main thread waits
// only until the service has registered, or the dispatcher has failed.
HANDLE Dispatcher = nullptr;
HANDLE Registered = nullptr;
DWORD ConnectError = ERROR_SUCCESS;

// Written by ServiceMain before Registered is set, and from then on only by the main thread: the control handler
// reports nothing itself, and the manager takes the state last reported when it asks.
SERVICE_STATUS_HANDLE StatusHandle = nullptr;
SERVICE_STATUS Status{};

// How long the manager is to wait for the next state before it takes the service for hung: starting opens no port
// that could keep it (a missing one is waited for while running), and stopping only closes the ports.
constexpr DWORD kStartingHintMs = 10'000;
constexpr DWORD kStoppingHintMs = 5'000;
// How long the dispatcher gets to pass the last state on before the process ends.
constexpr DWORD kDispatcherEndMs = 5'000;

// Says the step that failed and the system's reason, where the program's reports go: standard error until the
// event log is open.
void ReportFailure(const char* step, DWORD error, const char* remedy = "") {
  char reason[256], line[512];
  DescribeSystemError(error, reason, sizeof reason);
  std::snprintf(line, sizeof line, "%s failed: %s%s", step, reason, remedy);
  Report(Severity::Error, line);
}

void SetState(DWORD state, DWORD waitHintMs) {
  Status.dwCurrentState = state;
  // Stop and shutdown only while running: before, the program could not yet take the request, after, it has it.
  Status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  Status.dwWaitHint = waitHintMs;
  Status.dwCheckPoint = waitHintMs == 0 ? 0 : Status.dwCheckPoint + 1;
  if (!::SetServiceStatus(StatusHandle, &Status)) {
    ReportFailure("telling the Service Control Manager the service's state", ::GetLastError());
  }
}

DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN: RequestStop(); return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE: return NO_ERROR;
    default: return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

// On the dispatcher's thread. Returns once registered: the service runs on until it reports that it has stopped.
void WINAPI ServiceMain(DWORD, wchar_t** arguments) {
  // The name the service was installed under, whatever it is.
  StatusHandle = ::RegisterServiceCtrlHandlerExW(arguments[0], OnControl, nullptr);
  if (StatusHandle == nullptr) {
    ConnectError = ::GetLastError();
  } else {
    Status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    SetState(SERVICE_START_PENDING, kStartingHintMs);
  }
  ::SetEvent(Registered);
}

DWORD WINAPI Dispatch(void*) {
  // A service of its own process: the manager ignores the name given here.
  wchar_t name[] = L"Velkorin";
  const SERVICE_TABLE_ENTRYW services[] = {{name, ServiceMain}, {nullptr, nullptr}};
  if (!::StartServiceCtrlDispatcherW(services)) {
    ConnectError = ::GetLastError();
    ::SetEvent(Registered);
  }
  return 0;
}

}  // namespace

bool StartAsService() {
  Registered = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (Registered == nullptr) {
    ReportFailure("making an event for the service's start", ::GetLastError());
    return false;
  }
  Dispatcher = ::CreateThread(nullptr, 0, Dispatch, nullptr, 0, nullptr);
  if (Dispatcher == nullptr) {
    ReportFailure("starting a thread for the Service Control Manager", ::GetLastError());
    return false;
  }
  // The manager calls ServiceMain at once, or the dispatcher fails at once; the bound is for a manager that does
  // neither.
  if (::WaitForSingleObject(Registered, 30'000) != WAIT_OBJECT_0) {
    ReportFailure("waiting for the Service Control Manager", ERROR_SERVICE_REQUEST_TIMEOUT);
    return false;
  }
  if (StatusHandle == nullptr) {
    // Someone typed --service: say what it is for.
    ReportFailure("connecting to the Service Control Manager", ConnectError,
                  ConnectError == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT
                      ? "; --service is for the service that the installer registers, which Windows starts"
                      : "");
    return false;
  }
  return true;
}

void TellReady() {
  if (StatusHandle != nullptr) SetState(SERVICE_RUNNING, 0);
}

// The manager has no line of status to show.
void TellStatus(const char*) {}

void TellStopping() {
  if (StatusHandle != nullptr) SetState(SERVICE_STOP_PENDING, kStoppingHintMs);
}

void TellStopped(int exitStatus) {
  if (StatusHandle == nullptr) return;
  Status.dwWin32ExitCode = exitStatus == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
  Status.dwServiceSpecificExitCode = static_cast<DWORD>(exitStatus);
  SetState(SERVICE_STOPPED, 0);
  // The dispatcher returns once the manager has taken that; a process that ended first would look to the manager
  // like a service that crashed.
  ::WaitForSingleObject(Dispatcher, kDispatcherEndMs);
}

// The manager watches the process, not its ticks.
std::chrono::microseconds AliveInterval() { return {}; }
void TellAlive() {}

}  // namespace platform
