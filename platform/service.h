// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>

// What the program tells the service manager that started it, if one did: systemd through its notification socket
// (NOTIFY_SOCKET), the Service Control Manager on Windows. Without one, each does nothing.

namespace platform {

// Started, with its ports open or being waited for.
void TellReady();

// What it is doing, in a line for the manager to show (systemctl status).
void TellStatus(const char* line);

// Told to stop, and stopping.
void TellStopping();

// How often the manager wants to hear that the program is alive, or zero if it does not.
std::chrono::microseconds AliveInterval();

// Alive: called from the tick, so that a program whose ticks have stopped falls silent and is restarted.
void TellAlive();

#ifdef _WIN32
// Windows only, for --service: connects the program to the Service Control Manager, which must have started it,
// and tells it the service is starting. The manager's messages come on a thread of its own; its stop and shutdown
// reach the main thread as the request that platform::CallOnStopRequest delivers. False, having said why in one line
// on standard error, where the manager did not start the program (someone typed --service) or refused it.
bool StartAsService();

// Windows only: tells the manager, if StartAsService connected to it, that the service has stopped, with the
// program's exit status: 0 a clean stop, any other kept by the manager as the service's own exit code (sc query
// shows it). The process should end soon after.
void TellStopped(int exitStatus);

// Windows only, within the platform layer: the system's request that the program end, from any thread (the
// service's control handler, the console's), delivered once to the main thread as platform::CallOnStopRequest
// promises. Defined beside it.
void RequestStop();
#endif

}  // namespace platform
