// SPDX-License-Identifier: MIT
#include <cstdio>
#include <cstring>

#include "platform/port_name.h"

namespace platform {

// The device namespace reaches every port; a plain "COM10" and above would be taken as a file name.
bool DevicePathFor(const char* name, char (&path)[kDevicePathSize]) {
  path[0] = '\0';
  const unsigned number = ComPortNumber(name);
  if (number == 0) return false;
  std::snprintf(path, sizeof path, "\\\\.\\COM%u", number);
  return true;
}

bool SamePort(const char* device, const char* other) { return std::strcmp(device, other) == 0; }

}  // namespace platform
