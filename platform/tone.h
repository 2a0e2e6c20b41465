#pragma once

#include <chrono>

namespace platform {

// The beep, played on a worker thread so that a missing, slow or hung sound server never delays a
// tick. Where there is no sound device nothing sounds and nothing fails.

// Starts the worker; once, at start-up, off the tick path.
void StartTone();

// Asks for a tone of frequencyHz lasting duration. Returns at once; never blocks and never allocates.
void Beep(int frequencyHz, std::chrono::milliseconds duration);

// Stops and joins the worker; at exit.
void StopTone();

}  // namespace platform
