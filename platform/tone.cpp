// SPDX-License-Identifier: MIT
#include "platform/tone.h"

#include <algorithm>
#include <thread>

#include "platform/tone_worker.h"
#include "timecode/tick_engine.h"

namespace platform {

namespace tone {

std::atomic<Clock::rep> toneEnd{0};
std::atomic<int> toneFrequencyHz{0};
std::atomic<std::uint32_t> requests{0};
std::atomic<bool> stopping{false};

static_assert(std::atomic<Clock::rep>::is_always_lock_free);
static_assert(std::atomic<std::uint32_t>::is_always_lock_free &&
              sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t));

}  // namespace tone

namespace {

using namespace std::chrono_literals;
using namespace tone;

// The engine asks for 1 ms on every tick of a pulse, shorter than one cycle of the tone. Holding each
// request for a tick period and then some lets the next tick's request arrive before the tone runs
// out, so the requests of one pulse join into one tone about as long as the pulse. The extra 8 ms
// cover a late tick: on a busy machine ticks now and then come some 4 to 6 ms late.
constexpr auto kShortestTone = timecode::kTickPeriod + 8ms;
constexpr auto kStopTimeout = 1s;  // how long the exit waits for the worker

std::atomic<std::uint32_t> workerFinished{0};
std::thread worker;

}  // namespace

void StartTone() {
  stopping.store(false);
  workerFinished.store(0);
  worker = std::thread([] {
    RunWorker();
    workerFinished.store(1);
    WakeAll(workerFinished);
  });
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
  // A worker stuck in a hung sound server or beeper is left behind rather than allowed to hold up the exit.
  const Clock::time_point deadline = Clock::now() + kStopTimeout;
  while (workerFinished.load() == 0 && Clock::now() < deadline) WaitWhile(workerFinished, 0, deadline - Clock::now());
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
