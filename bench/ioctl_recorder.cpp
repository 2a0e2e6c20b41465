// SPDX-License-Identifier: MIT
// Preloaded into a running program (LD_PRELOAD) so that a pseudo-terminal standing in for a serial port answers for
// modem lines as a serial port does: the query of the lines (TIOCMGET), on a pseudo-terminal, always; and with
// IOCTL_RECORD_FILE named, every TIOCMBIS and TIOCMBIC request too, recorded with the wall-clock time at which it was
// made. Without a file, those go on to the terminal, which refuses them, as a trace then shows.
// The records go into memory while the program runs (no allocation, no I/O on the way) and into the
// file when the program exits or is ended with SIGTERM.
//
// The file: the number of records that did not fit (uint64), then one Record per line change, in the
// machine's byte order. The program switches its lines from one thread only, the tick's, so the records
// have a single writer.

#include <asm-generic/termios.h>  // the modem lines' bits
#include <asm/ioctls.h>  // the request numbers alone; the C library's ioctl declaration is the one replaced here
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

struct Record {
  std::int64_t realtimeNanos;
  std::uint32_t request;  // TIOCMBIS or TIOCMBIC
  std::int32_t lines;     // the TIOCM_ bits the request names
};

// About 40 minutes of a program that switches both lines on every 10 ms tick.
constexpr std::size_t kCapacity = std::size_t{1} << 19;

Record Records[kCapacity];
std::atomic<std::size_t> RecordCount{0};
std::uint64_t Dropped = 0;

char OutputPath[4096];
std::atomic<bool> Written{false};

using IoctlFunction = int (*)(int, unsigned long, ...);
IoctlFunction RealIoctl = nullptr;

IoctlFunction LookUpRealIoctl() { return reinterpret_cast<IoctlFunction>(dlsym(RTLD_NEXT, "ioctl")); }

void WriteAll(int fd, const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = ::write(fd, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
}

// True for the one caller, of all that get here, that writes the records. Only async-signal-safe
// calls: it also runs from the SIGTERM handler, whatever the program was doing.
bool WriteRecordsOnce() {
  if (Written.exchange(true)) return false;
  if (OutputPath[0] == '\0') return true;
  const int fd = ::open(OutputPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return true;
  WriteAll(fd, &Dropped, sizeof Dropped);
  WriteAll(fd, Records, RecordCount.load(std::memory_order_acquire) * sizeof(Record));
  ::close(fd);
  return true;
}

// Writes the records, then ends the program as SIGTERM would have without this handler. A SIGTERM
// often comes twice (timeout signals the program, then its process group), and another thread may
// take the second while the first is still writing: only the writer ends the program.
void OnTerminate(int signal) {
  if (!WriteRecordsOnce()) return;
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

__attribute__((constructor)) void StartRecording() {
  if (RealIoctl == nullptr) RealIoctl = LookUpRealIoctl();
  if (const char* path = ::getenv("IOCTL_RECORD_FILE")) std::strncpy(OutputPath, path, sizeof OutputPath - 1);
  std::memset(Records, 0, sizeof Records);  // touched now, so that recording meets no page fault
  struct sigaction action {};
  action.sa_handler = OnTerminate;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGTERM, &action, nullptr);
}

__attribute__((destructor)) void StopRecording() { WriteRecordsOnce(); }

// By its device numbers, which fstat gives without a call on the terminal itself that a trace would show.
bool IsPseudoTerminal(int fd) {
  struct stat seen {};
  constexpr unsigned kFirstPtyMajor = 136, kLastPtyMajor = 143;  // Unix 98 pseudo-terminals' slaves
  return ::fstat(fd, &seen) == 0 && S_ISCHR(seen.st_mode) && major(seen.st_rdev) >= kFirstPtyMajor &&
         major(seen.st_rdev) <= kLastPtyMajor;
}

}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) {
  va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  // A call made before this library's constructor ran (by another library's) finds it here.
  if (RealIoctl == nullptr) RealIoctl = LookUpRealIoctl();
  if (request == TIOCMGET && IsPseudoTerminal(fd)) {
    *static_cast<int*>(argument) = TIOCM_DTR | TIOCM_RTS;
    return 0;
  }
  if ((request != TIOCMBIS && request != TIOCMBIC) || OutputPath[0] == '\0') return RealIoctl(fd, request, argument);
  // The port is a pseudo-terminal standing in for a serial one, which has no modem lines: the request is answered
  // as a serial port answers it, so that the program drives its lines as it would a real port's.
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const std::size_t index = RecordCount.load(std::memory_order_relaxed);
  if (index == kCapacity) {
    ++Dropped;
    return 0;
  }
  Records[index] = {now.tv_sec * std::int64_t{1'000'000'000} + now.tv_nsec, static_cast<std::uint32_t>(request),
                    *static_cast<const int*>(argument)};
  RecordCount.store(index + 1, std::memory_order_release);
  return 0;
}
