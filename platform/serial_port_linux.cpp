// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/serial_port.h"

namespace platform {

PortOpening OpenSerialPort(const char* name) {
  PortOpening opening;
  if (!DevicePathFor(name, opening.device)) return {.failedStep = "open", .error = ENOENT};
  // Non-blocking, or the open would wait for a carrier that a clock wired to DTR and RTS never raises;
  // no controlling terminal; not inherited by anything the program might start.
  const int fd = ::open(opening.device, O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    opening.failedStep = "open";
    opening.error = errno;
    if (errno == EISDIR) opening.noSerialPort = "it is a directory";
    return opening;
  }
  // A serial port is a character device that answers for its modem lines: a regular file, /dev/null or a terminal
  // without such lines (a pseudo-terminal, a console) never will. Asking changes nothing on the lines.
  struct stat seen {};
  int lines = 0;
  if (::fstat(fd, &seen) == 0 && !S_ISCHR(seen.st_mode)) {
    opening.noSerialPort = "it is no device but a file";
  } else if (::ioctl(fd, TIOCMGET, &lines) != 0 && (errno == ENOTTY || errno == EINVAL)) {
    opening.noSerialPort = "it is a device without modem-control lines";
  }
  // The lock keeps out any other program that locks serial ports, root included; TIOCEXCL keeps out
  // every other non-root opener. A port that is already locked is held by someone else.
  if (opening.noSerialPort != nullptr) {
    opening.failedStep = "use";
  } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    opening.failedStep = "lock";
  } else if (::ioctl(fd, TIOCEXCL) != 0) {
    opening.failedStep = "keep other programs out of";
  } else {
    opening.handle = fd;
    return opening;
  }
  opening.error = errno;
  ::close(fd);
  return opening;
}

SystemError ChangeLine(PortHandle port, LineChange change) {
  const bool set = change == LineChange::SetRts || change == LineChange::SetDtr;
  int line = change == LineChange::SetRts || change == LineChange::ClearRts ? TIOCM_RTS : TIOCM_DTR;
  return ::ioctl(static_cast<int>(port), set ? TIOCMBIS : TIOCMBIC, &line) == 0 ? 0 : errno;
}

// A USB adapter pulled out leaves its descriptor hung up, and a hung-up terminal answers EIO; ENXIO and
// ENODEV come from drivers whose device has gone. A pseudo-terminal's ENOTTY, by contrast, only means
// that it has no modem lines.
bool MeansPortGone(SystemError error) { return error == EIO || error == ENXIO || error == ENODEV; }

void CloseSerialPort(PortHandle port) { ::close(static_cast<int>(port)); }

}  // namespace platform
