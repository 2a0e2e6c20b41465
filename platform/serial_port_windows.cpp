#include <windows.h>

#include <cstdio>

#include "platform/serial_port.h"

namespace platform {

// The line changes are numbered as the escape codes, so they pass straight through.
static_assert(static_cast<int>(LineChange::SetRts) == SETRTS);
static_assert(static_cast<int>(LineChange::ClearRts) == CLRRTS);
static_assert(static_cast<int>(LineChange::SetDtr) == SETDTR);
static_assert(static_cast<int>(LineChange::ClearDtr) == CLRDTR);

PortHandle OpenSerialPort(const char* name) {
  // The device namespace reaches every port; a plain "COM10" and above would be taken as a file name.
  char path[64];
  std::snprintf(path, sizeof path, "\\\\.\\%s", name);
  const HANDLE port = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  return reinterpret_cast<PortHandle>(port);  // INVALID_HANDLE_VALUE, all bits set, is kNoPort
}

void ChangeLine(PortHandle port, LineChange change) {
  ::EscapeCommFunction(reinterpret_cast<HANDLE>(port), static_cast<DWORD>(change));
}

void CloseSerialPort(PortHandle port) { ::CloseHandle(reinterpret_cast<HANDLE>(port)); }

}  // namespace platform
