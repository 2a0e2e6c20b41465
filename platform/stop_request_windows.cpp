// SPDX-License-Identifier: MIT
#include "platform/stop_request.h"

namespace platform {

// A Windows program with a window and no console has no signals to catch: it is told to end through its
// window, and Qt already turns that into the window's close (a taskkill without /f, say). When the
// session ends, Qt ends the event loop and the system then ends the process, whose handles, the port's
// included, the system closes.
void CallOnStopRequest(QObject*, void (*)()) {}

}  // namespace platform
