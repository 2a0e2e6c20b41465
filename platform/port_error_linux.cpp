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
  // The ports belong to a group (dialout on Debian) whose members may open them; a terminal that a login uses
  // belongs to tty, and no one should join that. In a user namespace that does not map the group, it shows as
  // the overflow group, which says nothing.
  constexpr gid_t kOverflowGroup = 65534;
  struct stat port {};
  const group* owners = error == EACCES && ::stat(device, &port) == 0 && port.st_gid != kOverflowGroup
                            ? ::getgrgid(port.st_gid)
                            : nullptr;
  if (owners != nullptr && std::strcmp(owners->gr_name, "tty") == 0) {
    std::snprintf(text, size, "%s: the port is a terminal in use as a console, not a free serial port", reason);
  } else if (owners != nullptr) {
    std::snprintf(text, size,
                  "%s: the port is for the group %s; join it with sudo adduser \"$USER\" %s and log in again", reason,
                  owners->gr_name, owners->gr_name);
  } else if (error == EWOULDBLOCK || error == EBUSY) {
    std::snprintf(text, size, "%s: another program holds the port", reason);
  } else if (error == EIO) {
    // What a serial driver answers for a port number it reserves but has no hardware behind, /dev/ttyS1 on most PCs.
    std::snprintf(text, size, "%s: there is no serial port at that name", reason);
  } else if (error == EPERM) {
    std::snprintf(text, size,
                  "%s: the system does not let this program use that device (a service's DeviceAllow=, "
                  "say)",
                  reason);
  } else {
    std::snprintf(text, size, "%s", reason);
  }
}

}  // namespace platform
