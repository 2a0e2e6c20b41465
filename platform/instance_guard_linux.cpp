#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/instance_guard.h"

namespace platform {
namespace {

// The guard is a lock on a file named after it in the user's runtime directory, the place for
// per-session files that vanish at logout. Without one (a bare root shell, say) the file goes in /tmp
// under the user's number, so that each user has a guard of their own, as each Windows session does.
bool GuardPathFor(const char* name, char (&path)[512]) {
  const char* runtimeDirectory = std::getenv("XDG_RUNTIME_DIR");
  const int length = runtimeDirectory != nullptr && runtimeDirectory[0] == '/'
                         ? std::snprintf(path, sizeof path, "%s/%s.lock", runtimeDirectory, name)
                         : std::snprintf(path, sizeof path, "/tmp/%s-%u.lock", name, ::getuid());
  return length > 0 && static_cast<unsigned>(length) < sizeof path;
}

}  // namespace

// The lock, unlike the file, goes with the last descriptor of it, so a copy that crashed or was
// killed leaves no guard behind. Close-on-exec, so that nothing the program starts keeps it alive.
InstanceGuard CreateInstanceGuard(const char* name) {
  char path[512];
  if (!GuardPathFor(name, path)) return {};
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
