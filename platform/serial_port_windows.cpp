// SPDX-License-Identifier: MIT
#include <windows.h>

#include "platform/serial_port.h"

namespace platform {

// The line changes are numbered as the escape codes, so they pass straight through.
static_assert(static_cast<int>(LineChange::SetRts) == SETRTS);
static_assert(static_cast<int>(LineChange::ClearRts) == CLRRTS);
static_assert(static_cast<int>(LineChange::SetDtr) == SETDTR);
static_assert(static_cast<int>(LineChange::ClearDtr) == CLRDTR);

PortOpening OpenSerialPort(const char* name) {
  PortOpening opening{.failedStep = "open"};
  if (!DevicePathFor(name, opening.device)) {
    opening.error = ERROR_FILE_NOT_FOUND;
    return opening;
  }
  const HANDLE port = ::CreateFileA(opening.device, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (port == INVALID_HANDLE_VALUE) {
    opening.error = ::GetLastError();
    return opening;
  }
  opening.handle = reinterpret_cast<PortHandle>(port);
  opening.failedStep = "";
  return opening;
}

SystemError ChangeLine(PortHandle port, LineChange change) {
  return ::EscapeCommFunction(reinterpret_cast<HANDLE>(port), static_cast<DWORD>(change)) ? 0 : ::GetLastError();
}

// What the serial drivers answer once their device has been pulled out differs from driver to driver: the
// system's own USB modem driver and several adapters' drivers deny access, others do not recognise the
// command or report the device as not functioning, and requests caught in the removal are aborted; newer
// drivers say plainly that the device was removed or is not connected. A port that is still there gives none
// of these for a line change. Wine does deny access for a pseudo-terminal, which has no modem lines: there
// the port is closed and opened again once a second, where its lines would not have changed anyway.
bool MeansPortGone(SystemError error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_OPERATION_ABORTED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED: return true;
    default: return false;
  }
}

void CloseSerialPort(PortHandle port) { ::CloseHandle(reinterpret_cast<HANDLE>(port)); }

}  // namespace platform
