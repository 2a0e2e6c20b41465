#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/serial_port.h"

namespace platform {
namespace {

// "COMn" is the n-th serial port, /dev/ttyS(n-1), as Linux numbers them from 0.
bool DevicePathFor(const char* name, char (&path)[32]) {
  unsigned number = 0;
  char rest = 0;
  if (std::sscanf(name, "COM%u%c", &number, &rest) != 1 || number < 1) return false;
  std::snprintf(path, sizeof path, "/dev/ttyS%u", number - 1);
  return true;
}

}  // namespace

PortHandle OpenSerialPort(const char* name) {
  char path[32];
  if (!DevicePathFor(name, path)) return kNoPort;
  // Non-blocking, or the open would wait for a carrier that a clock wired to DTR and RTS never raises;
  // no controlling terminal; not inherited by anything the program might start.
  const int fd = ::open(path, O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return kNoPort;
  // The lock keeps out any other program that locks serial ports, root included; TIOCEXCL keeps out
  // every other non-root opener. A port that is already locked is held by someone else.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
    ::close(fd);
    return kNoPort;
  }
  return fd;
}

void ChangeLine(PortHandle port, LineChange change) {
  const bool set = change == LineChange::SetRts || change == LineChange::SetDtr;
  int line = change == LineChange::SetRts || change == LineChange::ClearRts ? TIOCM_RTS : TIOCM_DTR;
  ::ioctl(static_cast<int>(port), set ? TIOCMBIS : TIOCMBIC, &line);
}

void CloseSerialPort(PortHandle port) { ::close(static_cast<int>(port)); }

}  // namespace platform
