// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// The guard that keeps a second copy of the program from running: a name that exists for as long as
// a process holds it, and no longer than that process lives, however it ends.

namespace platform {

// A named mutex on Windows, a locked file descriptor on Linux; kNoGuard if none could be made.
using GuardHandle = std::intptr_t;
inline constexpr GuardHandle kNoGuard = -1;

struct InstanceGuard {
  GuardHandle handle = kNoGuard;
  bool alreadyExisted = false;  // a guard of this name exists already, held or only still open
};

// Creates the guard of this name, owned by the caller, or opens the existing one and says so.
InstanceGuard CreateInstanceGuard(const char* name);

// Gives up ownership. The name exists until the process ends and its handle goes with it.
void ReleaseInstanceGuard(GuardHandle guard);

}  // namespace platform
