// SPDX-License-Identifier: MIT
#pragma once

// Between the beep's common part (tone.cpp), which takes the tick thread's requests and starts and
// stops the worker, and each system's worker, which plays the tone (tone_alsa.cpp, tone_windows.cpp).

#include <atomic>
#include <chrono>
#include <cstdint>

namespace platform::tone {

using Clock = std::chrono::steady_clock;

inline constexpr auto kForever = std::chrono::nanoseconds::max();

// Handed from the tick thread to the worker without locks: the tick thread only stores and wakes.
extern std::atomic<Clock::rep> toneEnd;  // steady-clock count until which a tone is wanted
extern std::atomic<int> toneFrequencyHz;
extern std::atomic<std::uint32_t> requests;  // moves on with every Beep and at stop; the worker sleeps on it
extern std::atomic<bool> stopping;

inline Clock::duration ToneLeftAt(Clock::time_point moment) {
  return Clock::duration(toneEnd.load()) - moment.time_since_epoch();
}

// By system: sleeps while word still holds value, for at most timeout (kForever: no limit); false when the
// time ran out. The waker takes no lock, and the sleeper can time out.
bool WaitWhile(std::atomic<std::uint32_t>& word, std::uint32_t value, std::chrono::nanoseconds timeout);
void WakeAll(std::atomic<std::uint32_t>& word);

// By system: plays the tone whenever one is wanted, until stopping is set.
void RunWorker();

}  // namespace platform::tone
