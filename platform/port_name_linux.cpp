// SPDX-License-Identifier: MIT
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "platform/port_name.h"

namespace platform {

// "COMn" is /dev/ttyS(n-1): Linux numbers its serial ports from 0.
bool DevicePathFor(const char* name, char (&path)[kDevicePathSize]) {
  path[0] = '\0';
  if (const unsigned number = ComPortNumber(name); number > 0) {
    std::snprintf(path, sizeof path, "/dev/ttyS%u", number - 1);
    return true;
  }
  if (name[0] != '/') return false;
  const int length = std::snprintf(path, sizeof path, "%s", name);
  if (length >= 0 && static_cast<std::size_t>(length) < sizeof path) return true;
  path[0] = '\0';
  return false;
}

bool SamePort(const char* device, const char* other) {
  struct stat one {
  }, two{};
  if (::stat(device, &one) == 0 && ::stat(other, &two) == 0 && S_ISCHR(one.st_mode) && S_ISCHR(two.st_mode))
    return one.st_rdev == two.st_rdev;
  return std::strcmp(device, other) == 0;
}

}  // namespace platform
