// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>

namespace platform {

// The beep, played on a worker thread so that a missing, slow or hung sound server never delays a
// tick. Where there is no sound device nothing sounds and nothing fails.

// Starts the worker; once, at start-up, off the tick path.
void StartTone();

// Asks for a tone of frequencyHz from now for duration, but for no less than a little over a tick
// period, so that the requests of successive ticks join into one continuous tone. Called from the
// tick thread only; returns at once, never blocks and never allocates.
void Beep(int frequencyHz, std::chrono::milliseconds duration);

// Stops the worker and waits for it, but not for long: a worker stuck in a hung sound server is left
// behind rather than allowed to hold up the exit. At exit.
void StopTone();

}  // namespace platform
