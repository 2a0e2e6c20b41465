// SPDX-License-Identifier: MIT
#include <windows.h>

#include <algorithm>
#include <thread>

#include "platform/tone_worker.h"

// The tone through the kernel's Beep.

namespace platform::tone {

namespace {

// The kernel's Beep returns only when it has sounded for the whole of its duration, so the tone is
// played in short pieces, each decided on afresh: a tone goes on for as long as the requests keep
// coming, and a stop waits for one piece at most.
constexpr std::chrono::milliseconds kLongestPiece{20};

}  // namespace

// The system's wait on an address rather than std::atomic::wait: the stop needs a wait that can time
// out, and MinGW's std::atomic::wait is a condition variable that a wake-up can slip past.
bool WaitWhile(std::atomic<std::uint32_t>& word, std::uint32_t value, std::chrono::nanoseconds timeout) {
  const DWORD milliseconds = timeout == kForever
                                 ? INFINITE
                                 : static_cast<DWORD>(std::chrono::ceil<std::chrono::milliseconds>(timeout).count());
  return ::WaitOnAddress(&word, &value, sizeof value, milliseconds) || ::GetLastError() != ERROR_TIMEOUT;
}

void WakeAll(std::atomic<std::uint32_t>& word) { ::WakeByAddressAll(&word); }

void RunWorker() {
  while (!stopping.load()) {
    const std::uint32_t seen = requests.load();
    const Clock::time_point now = Clock::now();
    const Clock::duration left = ToneLeftAt(now);
    if (left <= Clock::duration::zero()) {
      WaitWhile(requests, seen, kForever);
      continue;
    }
    const auto piece =
        std::min<std::chrono::milliseconds>(std::chrono::ceil<std::chrono::milliseconds>(left), kLongestPiece);
    ::Beep(static_cast<DWORD>(toneFrequencyHz.load()), static_cast<DWORD>(piece.count()));
    // Paced by the clock as well: without a beeper the kernel's Beep fails at once, and the worker
    // must not spin through the rest of the tone.
    std::this_thread::sleep_until(now + piece);
  }
}

}  // namespace platform::tone
