#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/tone.h"
#include "timecode/tick_engine.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The engine asks for 1 ms on every tick of a pulse, shorter than one cycle of the tone. Holding each
// request for a tick period and then some lets the next tick's request arrive before the tone runs
// out, so the requests of one pulse join into one tone about as long as the pulse. The extra 8 ms
// cover a late tick: on a busy machine ticks now and then come some 4 to 6 ms late.
constexpr auto kShortestTone = timecode::kTickPeriod + 8ms;
// The kernel's Beep returns only when it has sounded for the whole of its duration, so the tone is
// played in short pieces, each decided on afresh: a tone goes on for as long as the requests keep
// coming, and a stop waits for one piece at most.
constexpr std::chrono::milliseconds kLongestPiece{20};
constexpr auto kStopTimeout = 1s;  // how long the exit waits for the worker

// Handed from the tick thread to the worker without locks: the tick thread only stores and wakes.
std::atomic<Clock::rep> toneEnd{0};  // steady-clock count until which a tone is wanted
std::atomic<int> toneFrequencyHz{0};
std::atomic<std::uint32_t> requests{0};  // moves on with every Beep and at stop; the worker sleeps on it
std::atomic<bool> stopping{false};
std::atomic<std::uint32_t> workerFinished{0};
std::thread worker;

static_assert(std::atomic<Clock::rep>::is_always_lock_free);
static_assert(std::atomic<std::uint32_t>::is_always_lock_free &&
              sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t));

// The system's wait on an address rather than std::atomic::wait: the stop needs a wait that can time
// out, and MinGW's std::atomic::wait is a condition variable that a wake-up can slip past.
void WaitWhile(std::atomic<std::uint32_t>& word, std::uint32_t value, std::chrono::milliseconds timeout) {
  ::WaitOnAddress(&word, &value, sizeof value, static_cast<DWORD>(timeout.count()));
}

void WaitWhile(std::atomic<std::uint32_t>& word, std::uint32_t value) {
  ::WaitOnAddress(&word, &value, sizeof value, INFINITE);
}

void WakeAll(std::atomic<std::uint32_t>& word) { ::WakeByAddressAll(&word); }

Clock::duration ToneLeftAt(Clock::time_point moment) {
  return Clock::duration(toneEnd.load()) - moment.time_since_epoch();
}

void RunWorker() {
  while (!stopping.load()) {
    const std::uint32_t seen = requests.load();
    const Clock::time_point now = Clock::now();
    const Clock::duration left = ToneLeftAt(now);
    if (left <= Clock::duration::zero()) {
      WaitWhile(requests, seen);
      continue;
    }
    const auto piece =
        std::min<std::chrono::milliseconds>(std::chrono::ceil<std::chrono::milliseconds>(left), kLongestPiece);
    ::Beep(static_cast<DWORD>(toneFrequencyHz.load()), static_cast<DWORD>(piece.count()));
    // Paced by the clock as well: without a beeper the kernel's Beep fails at once, and the worker
    // must not spin through the rest of the tone.
    std::this_thread::sleep_until(now + piece);
  }
  workerFinished.store(1);
  WakeAll(workerFinished);
}

}  // namespace

void StartTone() {
  stopping.store(false);
  workerFinished.store(0);
  worker = std::thread(RunWorker);
}

void Beep(int frequencyHz, std::chrono::milliseconds duration) {
  const Clock::rep end = (Clock::now() + std::max<Clock::duration>(duration, kShortestTone)).time_since_epoch().count();
  toneFrequencyHz.store(frequencyHz);
  // Only the tick thread beeps, so nothing can store a later end between this load and store.
  if (end > toneEnd.load()) toneEnd.store(end);
  requests.fetch_add(1);
  WakeAll(requests);
}

void StopTone() {
  if (!worker.joinable()) return;
  stopping.store(true);
  requests.fetch_add(1);
  WakeAll(requests);
  // A worker stuck in the kernel's Beep is left behind rather than allowed to hold up the exit.
  const Clock::time_point deadline = Clock::now() + kStopTimeout;
  while (workerFinished.load() == 0 && Clock::now() < deadline)
    WaitWhile(workerFinished, 0, std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()));
  if (workerFinished.load() != 0)
    worker.join();
  else
    worker.detach();
}

namespace {

// The window's close stops the worker; a program that ends without that (a start-up failure, an
// exit from deep inside the toolkit) has it stopped as it ends, since a thread object destroyed while
// its thread runs ends the program with an abort. Defined after the worker, so destroyed before it.
struct StopToneAtExit {
  ~StopToneAtExit() { StopTone(); }
} stopToneAtExit;

}  // namespace

}  // namespace platform
