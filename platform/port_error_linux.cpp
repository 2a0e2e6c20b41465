// SPDX-License-Identifier: MIT
#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/port_error.h"

namespace platform {

void DescribeSystemError(SystemError error, char* text, std::size_t size) {
  std::snprintf(text, size, "%s", std::strerror(static_cast<int>(error)));
}

void DescribeOpenError(SystemError error, const char* device, char* text, std::size_t size) {
  const char* reason = std::strerror(static_cast<int>(error));
  // The ports belong to a group (dialout on Debian) whose members may open them.
  struct stat port {};
  const group* owners = error == EACCES && ::stat(device, &port) == 0 ? ::getgrgid(port.st_gid) : nullptr;
  if (owners != nullptr) {
    std::snprintf(text, size,
                  "%s: the port is for the group %s; join it with sudo adduser \"$USER\" %s and log in again", reason,
                  owners->gr_name, owners->gr_name);
  } else if (error == EWOULDBLOCK || error == EBUSY) {
    std::snprintf(text, size, "%s: another program holds the port", reason);
  } else {
    std::snprintf(text, size, "%s", reason);
  }
}

}  // namespace platform
