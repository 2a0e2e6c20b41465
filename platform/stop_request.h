// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

class QObject;

// The system's request that the program end, turned into a call on the main thread from its event loop,
// where the program can end as it does when its window is closed.

namespace platform {

// From now on, while `owner` lives, calls `stop` when the program is told to end: on Linux by SIGTERM
// (kill, a service manager, the session ending), SIGINT (Ctrl-C) or SIGHUP (its terminal gone), unless
// that signal is ignored, as nohup leaves SIGHUP; on Windows by Ctrl-C, Ctrl-Break or the closing of the
// command prompt whose console it shares, and, as a service, by the Service Control Manager's stop or
// shutdown. Once, on the main thread.
void CallOnStopRequest(QObject* owner, std::function<void()> stop);

}  // namespace platform
