// SPDX-License-Identifier: MIT
#include <windows.h>

#include <cstdio>

#include "platform/console.h"

namespace platform {

void UseTheStartingConsole() {
  const bool outputUnconnected = GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_UNKNOWN;
  const bool errorsUnconnected = GetFileType(GetStdHandle(STD_ERROR_HANDLE)) == FILE_TYPE_UNKNOWN;
  // Started from the desktop there is no console to join, and nothing changes.
  if (!(outputUnconnected || errorsUnconnected) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (outputUnconnected) std::freopen("CONOUT$", "w", stdout);
  if (errorsUnconnected) std::freopen("CONOUT$", "w", stderr);
}

}  // namespace platform
