// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/instance_guard.h"
#include "platform/report.h"

namespace platform {
namespace {

using Path = char[512];

bool Fits(int length) { return length > 0 && static_cast<unsigned>(length) < sizeof(Path); }

// Why the directory is not the user's alone, or nullptr if it is: a directory, not a symbolic link, the
// user's own and closed to everyone else, so that no other user can make, replace or lock anything in it.
const char* NotOwnDirectory(const char* path) {
  struct stat seen {};
  if (::lstat(path, &seen) != 0) return std::strerror(errno);
  if (!S_ISDIR(seen.st_mode)) return "it is no directory";
  if (seen.st_uid != ::getuid()) return "it belongs to another user";
  if ((seen.st_mode & 077) != 0) return "other users may enter it";
  return nullptr;
}

// The guard is a lock on a file named after it in the user's runtime directory, the place for
// per-session files that vanish at logout, if that is really the user's. Without one (a bare root
// shell, some remote sessions) it goes in a directory of the user's own in the temporary directory, so
// that each user has a guard of their own, as each Windows session does. Only a directory that is the
// user's alone will do: where others may write, another user could make the file first and hold its lock.
bool GuardDirectoryFor(Path& path) {
  const char* runtimeDirectory = std::getenv("XDG_RUNTIME_DIR");
  if (runtimeDirectory != nullptr && runtimeDirectory[0] == '/' && NotOwnDirectory(runtimeDirectory) == nullptr)
    return Fits(std::snprintf(path, sizeof path, "%s", runtimeDirectory));
  const char* temporary = std::getenv("TMPDIR");
  temporary = temporary != nullptr && temporary[0] == '/' ? temporary : "/tmp";
  if (!Fits(std::snprintf(path, sizeof path, "%s/velkorin-%u", temporary, ::getuid()))) return false;
  ::mkdir(path, 0700);  // or it is there already, and must pass all the same
  const char* why = NotOwnDirectory(path);
  if (why == nullptr) return true;
  char line[sizeof(Path) + 128];
  std::snprintf(line, sizeof line, "no single-instance guard: the directory %s is not this user's alone: %s", path,
                why);
  Report(Severity::Warning, line);
  return false;
}

}  // namespace

// The lock, unlike the file, goes with the last descriptor of it, so a copy that crashed or was
// killed leaves no guard behind. Close-on-exec, so that nothing the program starts keeps it alive.
InstanceGuard CreateInstanceGuard(const char* name) {
  Path directory;
  Path path;
  if (!GuardDirectoryFor(directory) || !Fits(std::snprintf(path, sizeof path, "%s/%s.lock", directory, name)))
    return {};
  const int fd = ::open(path, O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return {};
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return {.handle = fd, .alreadyExisted = false};
  if (errno == EWOULDBLOCK) return {.handle = fd, .alreadyExisted = true};
  ::close(fd);
  return {};
}

// A lock has no owner apart from its holder: the guard stays held, as the name of a released mutex
// stays, until the process ends.
void ReleaseInstanceGuard(GuardHandle) {}

}  // namespace platform
