// SPDX-License-Identifier: MIT
#include <windows.h>

#include "platform/report.h"
#include "platform/service.h"

namespace platform {

namespace {

// The Service Control Manager's dispatcher keeps the thread that calls it for as long as the service runs, while the
// program's event loop needs the main thread; so the dispatcher has a thread of its own, and the main thread waits
// only until the service has registered, or the dispatcher has failed. The manager calls ServiceMain with no context
// but the process's, so the connection is the process's.
struct Connection {
  HANDLE dispatcher = nullptr;
  HANDLE registered = nullptr;
  DWORD connectError = ERROR_SUCCESS;
  // Written by ServiceMain before `registered` is set, and from then on only by the main thread: the control handler
  // reports nothing itself, and the manager takes the state last reported when it asks.
  SERVICE_STATUS_HANDLE statusHandle = nullptr;
  SERVICE_STATUS status{};
} Manager;  // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)

// How long the manager is to wait for the next state before it takes the service for hung: starting opens no port
// that could keep it (a missing one is waited for while running), and stopping only closes the ports.
constexpr DWORD kStartingHintMs = 10'000;
constexpr DWORD kStoppingHintMs = 5'000;
// How long the dispatcher gets to pass the last state on before the process ends.
constexpr DWORD kDispatcherEndMs = 5'000;

void SetState(DWORD state, DWORD waitHintMs) {
  Manager.status.dwCurrentState = state;
  // Stop and shutdown only while running: before, the program could not yet take the request, after, it has it.
  Manager.status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  Manager.status.dwWaitHint = waitHintMs;
  Manager.status.dwCheckPoint = waitHintMs == 0 ? 0 : Manager.status.dwCheckPoint + 1;
  if (!::SetServiceStatus(Manager.statusHandle, &Manager.status)) {
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
  Manager.statusHandle = ::RegisterServiceCtrlHandlerExW(arguments[0], OnControl, nullptr);
  if (Manager.statusHandle == nullptr) {
    Manager.connectError = ::GetLastError();
  } else {
    Manager.status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    SetState(SERVICE_START_PENDING, kStartingHintMs);
  }
  ::SetEvent(Manager.registered);
}

DWORD WINAPI Dispatch(void*) {
  // A service of its own process: the manager ignores the name given here.
  wchar_t name[] = L"Velkorin";
  const SERVICE_TABLE_ENTRYW services[] = {{name, ServiceMain}, {nullptr, nullptr}};
  if (!::StartServiceCtrlDispatcherW(services)) {
    Manager.connectError = ::GetLastError();
    ::SetEvent(Manager.registered);
  }
  return 0;
}

}  // namespace

bool StartAsService() {
  Manager.registered = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (Manager.registered == nullptr) {
    ReportFailure("making an event for the service's start", ::GetLastError());
    return false;
  }
  Manager.dispatcher = ::CreateThread(nullptr, 0, Dispatch, nullptr, 0, nullptr);
  if (Manager.dispatcher == nullptr) {
    ReportFailure("starting a thread for the Service Control Manager", ::GetLastError());
    return false;
  }
  // The manager calls ServiceMain at once, or the dispatcher fails at once; the bound is for a manager that does
  // neither.
  if (::WaitForSingleObject(Manager.registered, 30'000) != WAIT_OBJECT_0) {
    ReportFailure("waiting for the Service Control Manager", ERROR_SERVICE_REQUEST_TIMEOUT);
    return false;
  }
  if (Manager.statusHandle == nullptr) {
    // Someone typed --service: say what it is for.
    ReportFailure("connecting to the Service Control Manager", Manager.connectError,
                  Manager.connectError == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT
                      ? "; --service is for the service that the installer registers, which Windows starts"
                      : "");
    return false;
  }
  return true;
}

void TellReady() {
  if (Manager.statusHandle != nullptr) SetState(SERVICE_RUNNING, 0);
}

// The manager has no line of status to show.
void TellStatus(const char*) {}

void TellStopping() {
  if (Manager.statusHandle != nullptr) SetState(SERVICE_STOP_PENDING, kStoppingHintMs);
}

void TellStopped(int exitStatus) {
  if (Manager.statusHandle == nullptr) return;
  Manager.status.dwWin32ExitCode = exitStatus == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
  Manager.status.dwServiceSpecificExitCode = static_cast<DWORD>(exitStatus);
  SetState(SERVICE_STOPPED, 0);
  // The dispatcher returns once the manager has taken that; a process that ended first would look to the manager
  // like a service that crashed.
  ::WaitForSingleObject(Manager.dispatcher, kDispatcherEndMs);
}

// The manager watches the process, not its ticks.
std::chrono::microseconds AliveInterval() { return {}; }
void TellAlive() {}

}  // namespace platform
