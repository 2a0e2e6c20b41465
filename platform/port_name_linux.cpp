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
  if (name[0] != '/' || std::strlen(name) >= sizeof path) return false;
  std::strcpy(path, name);
  return true;
}

}  // namespace platform
