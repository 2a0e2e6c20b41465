// SPDX-License-Identifier: MIT
#include <windows.h>

#include "platform/instance_guard.h"

namespace platform {

InstanceGuard CreateInstanceGuard(const char* name) {
  const HANDLE mutex = ::CreateMutexA(nullptr, TRUE, name);
  // Read at once: the creation reports an existing name only through the thread's last error.
  const bool alreadyExisted = ::GetLastError() == ERROR_ALREADY_EXISTS;
  if (mutex == nullptr) return {kNoGuard, alreadyExisted};
  return {reinterpret_cast<GuardHandle>(mutex), alreadyExisted};
}

void ReleaseInstanceGuard(GuardHandle guard) { ::ReleaseMutex(reinterpret_cast<HANDLE>(guard)); }

}  // namespace platform
