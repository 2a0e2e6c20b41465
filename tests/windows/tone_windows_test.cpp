#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/tone.h"

namespace {

using namespace std::chrono_literals;

constexpr int kBeepHz = 600;
constexpr auto kTick = 10ms;
constexpr int kPatienceTicks = 1000;  // for the worker's first beep; only a broken worker needs them all

// The kernel's Beep sounds for the whole of its duration before it returns; Wine's returns at once.
// This test program puts a stand-in into the import slot, one that sounds like the kernel's or, held,
// stands for a beeper that hangs.
struct KernelBeeps {
  std::atomic<bool> held{false};
  std::atomic<int> entered{0}, left{0};
  std::atomic<DWORD> frequencyHz{0}, longestMs{0}, threadId{0};
} kernel;

BOOL WINAPI StandInBeep(DWORD frequencyHz, DWORD durationMs) {
  kernel.threadId = ::GetCurrentThreadId();
  kernel.frequencyHz = frequencyHz;
  if (durationMs > kernel.longestMs) kernel.longestMs = durationMs;
  ++kernel.entered;
  while (kernel.held) ::Sleep(1);
  ::Sleep(durationMs);
  ++kernel.left;
  return TRUE;
}

class ToneWindows : public testing::Test {
 protected:
  void SetUp() override {
    kernel.held = false;
    kernel.entered = kernel.left = 0;
    kernel.frequencyHz = kernel.longestMs = kernel.threadId = 0;
  }
};

// Beeps as the engine does on each tick of a pulse, then stops while the tone is still wanted.
TEST_F(ToneWindows, PulseSoundsInShortPiecesUntilStopped) {
  platform::StartTone();
  auto next = std::chrono::steady_clock::now();
  for (int tick = 0; tick < 21; ++tick, next += kTick) {
    std::this_thread::sleep_until(next);
    platform::Beep(kBeepHz, 1ms);
  }
  platform::StopTone();
  EXPECT_GT(kernel.entered, 0) << "nothing sounded";
  EXPECT_EQ(kernel.left, kernel.entered) << "the stop came back while the worker was still beeping";
  EXPECT_EQ(kernel.frequencyHz, static_cast<DWORD>(kBeepHz));
  EXPECT_LE(kernel.longestMs, 20u);
}

TEST_F(ToneWindows, AHungBeeperHoldsUpNeitherBeepsNorStop) {
  kernel.held = true;
  platform::StartTone();
  for (int tick = 0; kernel.entered == 0 && tick < kPatienceTicks; ++tick) {
    platform::Beep(kBeepHz, 1ms);
    std::this_thread::sleep_for(kTick);
  }
  ASSERT_GT(kernel.entered, 0) << "nothing sounded";
  // Neither may wait for the held beeper: a wait would hang here until the check's time runs out.
  for (int tick = 0; tick < 100; ++tick) platform::Beep(kBeepHz, 1ms);
  platform::StopTone();
  // The worker left behind ends once its beep returns, before the next test starts another.
  const HANDLE worker = ::OpenThread(SYNCHRONIZE, FALSE, kernel.threadId);
  kernel.held = false;
  EXPECT_EQ(::WaitForSingleObject(worker, INFINITE), WAIT_OBJECT_0);
  ::CloseHandle(worker);
}

}  // namespace

// The import slot the kernel's Beep is called through; defined here, it is never taken from kernel32.
extern "C" {
decltype(&StandInBeep) __imp_Beep = StandInBeep;
}
